#include "support/WindowFixture.h"

namespace qp::test {

MainWindow& WindowFixture::window() {
    if (!m_window) {
        m_window = std::make_unique<MainWindow>(MainWindowServices{
            prompter, dialogs, settings, office, pdf, pdf, help, "/opt/quirepress",
            [this] { ++endProgramCalls; }, dataHome.filePath("BatchBin")});
    }
    return *m_window;
}

} // namespace qp::test
