#include "help/modHelp.h"

namespace qp {

QString HelpFilePath(const QString& executableDir) {
    return executableDir + QLatin1String(HelpFileRelativePath);
}

void ShowHelpContents(HelpViewer& viewer, const QString& executableDir, quintptr ownerWindow) {
    // Called from menu and key handlers: an exception escaping from here would end the
    // program, and a failed help request must never cost the user the batch on screen.
    try {
        viewer.showContents(HelpFilePath(executableDir), ownerWindow);
    } catch (...) {
    }
}

} // namespace qp
