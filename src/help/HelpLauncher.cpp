#include "help/HelpLauncher.h"

namespace qp {

QString HelpLauncher::helpFilePath(const QString& executableDir) {
    return executableDir + QLatin1String(HelpFileRelativePath);
}

void HelpLauncher::showContents(quintptr ownerWindow) const {
    // Called from menu and key handlers: an exception escaping from here would end the
    // program, and a failed help request must never cost the user the batch on screen.
    try {
        m_viewer.showContents(helpFilePath(m_executableDir), ownerWindow);
    } catch (...) {
    }
}

} // namespace qp
