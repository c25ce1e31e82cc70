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

void UnusedConversation::open(const QString&, const QString&, const QString&) {
    ADD_FAILURE() << "unexpected conversation";
    throw AppError(ErrorNumber::ConversationNoAnswer, QStringLiteral("not expected"));
}

void UnusedConversation::execute(const QString& command, int) {
    ADD_FAILURE() << "unexpected command " << command.toStdString();
}

WindowFixture::WindowFixture() = default;
WindowFixture::~WindowFixture() = default;

frmWrdPrint& WindowFixture::window() {
    if (!m_window) {
        m_window = std::make_unique<frmWrdPrint>(
            MainWindowServices{prompter, *dialogBackend, settings, *office, *starter, *conversation,
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
