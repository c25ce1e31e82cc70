#include "support/WindowFixture.h"

#include <QAction>
#include <QListWidget>
#include <gtest/gtest.h>

namespace qp::test {

std::unique_ptr<OfficeDocument> UnusedOffice::open(const QString& path) {
    ADD_FAILURE() << "unexpected open of " << path.toStdString();
    throw AppError(ErrorNumber::CannotBind, QStringLiteral("not expected in this test"));
}

void UnusedProgramStarter::start(const QString& program) {
    ADD_FAILURE() << "unexpected start of " << program.toStdString();
}

void UnusedPdfPrintServer::connect() {
    ADD_FAILURE() << "unexpected connection to the PDF print server";
    throw AppError(ErrorNumber::ConversationNoAnswer, QStringLiteral("not expected"));
}

void UnusedPdfPrintServer::unexpected(const QString& path) {
    ADD_FAILURE() << "unexpected command for " << path.toStdString();
}

WindowFixture::WindowFixture() = default;
WindowFixture::~WindowFixture() = default;

MainWindow& WindowFixture::window() {
    if (!m_window) {
        m_window = std::make_unique<MainWindow>(
            MainWindowServices{prompter, *dialogBackend, settings, *office, *starter, *pdfServer,
                               help, executableDir, [this] { ++endProgramCalls; }, batchFolder});
    }
    return *m_window;
}

QStringList WindowFixture::listEntries() {
    return window().entries();
}

QAction* WindowFixture::action(const char* name) {
    return window().findChild<QAction*>(QLatin1String(name));
}

} // namespace qp::test
