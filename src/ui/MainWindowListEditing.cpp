// Editing the batch list: typing, browsing for and dropping files, removing entries and
// clearing the list.

#include "ui/MainWindow.h"

#include "batches/FolderEntries.h"
#include "core/AppError.h"
#include "core/Messages.h"
#include "core/Prompter.h"
#include "ui/BatchListWidget.h"

#include <QFileInfo>
#include <QLineEdit>

namespace qp {

namespace {

const QString kBrowseFilter = QStringLiteral("Word Files (*.doc)|*.doc|Excel Files (*.xls)") +
                              QStringLiteral("|*.xls|Presentation Files (*.ppt)|*.ppt") +
                              QStringLiteral("|Pdf Files (*.pdf)|*.pdf");

QString listFullMessage() {
    return QStringLiteral("The batch list cannot hold more than %1 entries.")
        .arg(MainWindow::MaxEntries);
}

bool isDroppableKind(const QString& path) {
    const QString kind = path.right(3).toLower();
    return kind == QLatin1String("doc") || kind == QLatin1String("xls") ||
           kind == QLatin1String("ppt") || kind == QLatin1String("pdf");
}

} // namespace

QStringList MainWindow::entries() const {
    QStringList result;
    result.reserve(m_batchList->count());
    for (int i = 0; i < m_batchList->count(); ++i)
        result << m_batchList->item(i)->text();
    return result;
}

bool MainWindow::appendEntry(const QString& entry) {
    if (m_batchList->count() >= MaxEntries) {
        m_questions.tell(listFullMessage() + QStringLiteral("\r\n") + entry +
                             QStringLiteral(" was not added."),
                         QStringLiteral("Batch list full..."), PromptIcon::Exclamation);
        return false;
    }
    m_batchList->addItem(entry);
    return true;
}

void MainWindow::appendBatchEntry(const QString& entry) {
    if (m_batchList->count() >= MaxEntries)
        throw AppError(ErrorNumber::ListFull, listFullMessage());
    m_batchList->addItem(entry);
}

void MainWindow::pathEdited() {
    m_skipSaveOffer = false;
}

void MainWindow::addTypedPath() {
    const QString text = m_pathEdit->text();
    if (!text.isEmpty()) {
        // A full list keeps the typed path in the box, so nothing is lost.
        if (!appendEntry(text))
            return;
        m_skipSaveOffer = false;
    }
    m_pathEdit->setText(QString());
}

void MainWindow::browseForFile() {
    try {
        m_fileDialog.setFilter(kBrowseFilter);
        m_fileDialog.setFileName(QString());
        m_fileDialog.setTitle(QStringLiteral("Open Office File"));
        m_fileDialog.showOpen();
        m_pathEdit->setText(m_fileDialog.fileName());
    } catch (const AppError& error) {
        if (error.number() == ErrorNumber::CancelError)
            return;
        m_questions.tell(error.numberAndDescription(), messages::errorTitle(),
                         PromptIcon::Critical);
    }
}

void MainWindow::handleListKey(int key) {
    if (m_batchList->count() <= 0 || key != Qt::Key_Delete)
        return;
    const int row = m_batchList->currentRow();
    QListWidgetItem* item = row >= 0 ? m_batchList->item(row) : nullptr;
    if (!item || !item->isSelected())
        return;
    delete m_batchList->takeItem(row);
    // Nothing stays selected, so one key press removes one entry.
    m_batchList->setCurrentRow(-1);
    m_batchList->clearSelection();
    m_skipSaveOffer = false;
}

void MainWindow::clearList() {
    if (m_batchList->count() > 0) {
        if (!m_questions.askYesNo(
                QStringLiteral(
                    "This will clear your current job. Are you sure you want to do this?"),
                QStringLiteral("Clear List..."), PromptIcon::Exclamation))
            return;
        m_batchList->clear();
    }
    m_pathEdit->setText(QString());
}

void MainWindow::addDroppedFiles(const QStringList& paths) {
    if (paths.isEmpty()) {
        m_questions.tell(QStringLiteral("The selected file is not a supported."),
                         QStringLiteral("Not supported..."), PromptIcon::Exclamation);
        return;
    }
    for (const QString& path : paths) {
        // A folder stands for its printable files, as for quirepress --print.
        const bool folder = QFileInfo(path).isDir();
        const QStringList entries =
            folder ? FolderEntries::printableFiles(path, false) : QStringList{path};
        if (entries.isEmpty() || (!folder && !isDroppableKind(path))) {
            m_questions.tell(messages::unsupportedFile(path),
                             QStringLiteral("Improper file format..."), PromptIcon::Information);
            continue;
        }
        for (const QString& entry : entries) {
            if (!appendEntry(entry))
                return;
            m_skipSaveOffer = false;
        }
    }
}

} // namespace qp
