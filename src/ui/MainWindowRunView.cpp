// What the batch run and the start-up checks see of the window.

#include "ui/MainWindow.h"

#include "ui/BatchListWidget.h"
#include "ui/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>

namespace qp {

int MainWindow::entryCount() const {
    return m_batchList->count();
}

QString MainWindow::entry(int index) const {
    const QListWidgetItem* item = m_batchList->item(index);
    return item ? item->text() : QString();
}

QString MainWindow::typedPath() const {
    return m_pathEdit->text();
}

void MainWindow::clearTypedPath() {
    m_pathEdit->setText(QString());
}

void MainWindow::startProgress(int total) {
    // The bar counts entries from 1; a run of one entry starts it at 0 instead, since a bar
    // whose minimum is not below its maximum shows nothing.
    m_progressBar->setRange(total > 1 ? 1 : 0, total);
    m_progressLabel->show();
    m_progressBar->show();
}

void MainWindow::setProgress(int done, int) {
    m_progressBar->setValue(done);
}

void MainWindow::setStatus(const QString& text) {
    m_statusLabel->setText(text);
}

void MainWindow::showBusyPointer() {
    if (!QApplication::overrideCursor() ||
        QApplication::overrideCursor()->shape() != Qt::WaitCursor)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void MainWindow::restoreDefaultPointer() {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void MainWindow::showLocatePdfServer() {
    m_locatePdfServerAction->setVisible(true);
    m_locateSeparator->setVisible(true);
}

void MainWindow::setReadyState() {
    m_batchList->clear();
    m_pathEdit->setText(QString());
    m_statusLabel->setText(QStringLiteral("Ready"));
    m_progressBar->hide();
    m_progressLabel->hide();
    restoreDefaultPointer();
    m_skipSaveOffer = false;
}

void MainWindow::centreOnScreen() {
    const QScreen* s = screen();
    if (!s)
        return;
    moveCentred(*this, s->geometry(), size() + frameMargins());
    m_centred = true;
}

} // namespace qp
