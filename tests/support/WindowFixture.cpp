#include "support/WindowFixture.h"

namespace qp::test {

MainWindow& WindowFixture::window() {
    if (!m_window) {
        m_window = std::make_unique<MainWindow>(
            MainWindowServices{prompter, *dialogBackend, settings, *office, *starter, *pdfServer,
                               help, executableDir, [this] { ++endProgramCalls; }, batchFolder});
    }
    return *m_window;
}

} // namespace qp::test
