#pragma once

#include "help/HelpViewer.h"

#include <QString>
#include <QtGlobal>

namespace qp {

class Prompter;

// The help's places relative to the folder of the executable, appended to it as they are: the
// compiled help, and the same pages as plain HTML for desktops without a viewer for it.
inline constexpr char HelpFileRelativePath[] = "/helpfiles/Quirepress.chm";
inline constexpr char HelpPagesRelativePath[] = "/helpfiles/html/index.html";

// Opens the help beside the executable at its default topic: the compiled help where the
// desktop has a viewer for it, else its pages in the browser, else a message that says what
// to install. Whatever goes wrong in a viewer is swallowed, and the program goes on.
class HelpLauncher {
public:
    HelpLauncher(HelpViewer& viewer, Prompter& prompter, QString executableDir)
        : m_viewer(viewer), m_prompter(prompter), m_executableDir(std::move(executableDir)) {}

    // The path of the help file for a program whose executable lies in executableDir.
    static QString helpFilePath(const QString& executableDir);
    // The first of the help's HTML pages, for the same program.
    static QString helpPagesPath(const QString& executableDir);

    void showContents(quintptr ownerWindow) const;

private:
    HelpViewer& m_viewer;
    Prompter& m_prompter;
    QString m_executableDir;
};

} // namespace qp
