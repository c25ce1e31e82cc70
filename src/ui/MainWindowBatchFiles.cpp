// The batch-file actions: File > Open Batch, File > Save Batch and batch files given on the
// command line.

#include "ui/MainWindow.h"

#include "batches/BatchFiles.h"
#include "ui/BatchListWidget.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

namespace qp {

void MainWindow::updateFileMenu() {
    m_saveBatchAction->setEnabled(m_batchList->count() > 0);
}

void MainWindow::openBatchFile() {
    m_batchList->setUpdatesEnabled(false);
    const bool opened =
        BatchFiles::openBatch(m_fileDialog, m_questions, m_services.batchFolder,
                              [this](const QString& entry) { appendBatchEntry(entry); });
    m_batchList->setUpdatesEnabled(true);
    if (opened)
        m_skipSaveOffer = true;
}

void MainWindow::openFiles(const QStringList& files) {
    for (const QString& file : files) {
        if (file.isEmpty())
            continue;
        if (BatchFiles::isBatchFile(file)) {
            if (BatchFiles::openBatchFile(
                    m_questions, file, [this](const QString& entry) { appendBatchEntry(entry); }))
                m_skipSaveOffer = true;
            continue;
        }
        // The file manager passes absolute paths; one typed in a terminal may be relative.
        if (!appendEntry(QDir::cleanPath(QFileInfo(file).absoluteFilePath())))
            return;
        m_skipSaveOffer = false;
    }
}

void MainWindow::saveBatchFile() {
    BatchFiles::saveBatch(m_fileDialog, m_questions, m_services.batchFolder, entries());
}

} // namespace qp
