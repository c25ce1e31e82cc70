#include "help/HelpLauncher.h"

#include "core/Prompter.h"

namespace qp {

QString HelpLauncher::helpFilePath(const QString& executableDir) {
    return executableDir + QLatin1String(HelpFileRelativePath);
}

QString HelpLauncher::helpPagesPath(const QString& executableDir) {
    return executableDir + QLatin1String(HelpPagesRelativePath);
}

void HelpLauncher::showContents(quintptr ownerWindow) const {
    // Called from menu and key handlers: an exception escaping from here would end the
    // program, and a failed help request must never cost the user the batch on screen.
    try {
        if (m_viewer.show(helpFilePath(m_executableDir), ownerWindow) ||
            m_viewer.show(helpPagesPath(m_executableDir), ownerWindow))
            return;
        m_prompter.tell(QStringLiteral("The help cannot be shown: there is no program for help "
                                       "files or web pages on this computer.\r\n"
                                       "Install a help viewer (the package xchm) or a web "
                                       "browser, then try again."),
                        QStringLiteral("Help..."), PromptIcon::Exclamation);
    } catch (...) {
    }
}

} // namespace qp
