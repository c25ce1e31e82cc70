#include "support/WindowFixture.h"

#include <QTest>

namespace qp::test {

MainWindow& WindowFixture::window() {
    if (!m_window) {
        m_window = std::make_unique<MainWindow>(MainWindowServices{
            prompter, dialogs, settings, office, pdf, pdf, help, "/opt/quirepress",
            [this] { ++endProgramCalls; }, dataHome.filePath("BatchBin")});
    }
    return *m_window;
}

void WindowFixture::showReadyWindow() {
    settings.set("Quirepress/Settings/Acrobat", "/pdf");
    window().runStartupChecks();
    window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
}

} // namespace qp::test
