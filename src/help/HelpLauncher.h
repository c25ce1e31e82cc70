#pragma once

#include "help/HelpViewer.h"

#include <QString>
#include <QtGlobal>

namespace qp {

// The help file's place relative to the folder of the executable, appended to it as it is.
inline constexpr char HelpFileRelativePath[] = "/helpfiles/Quirepress.chm";

// Opens the help file beside the executable at its default topic. Help is a convenience:
// whatever goes wrong in the viewer is swallowed without a message, and the program goes on.
class HelpLauncher {
public:
    HelpLauncher(HelpViewer& viewer, QString executableDir)
        : m_viewer(viewer), m_executableDir(std::move(executableDir)) {}

    // The path of the help file for a program whose executable lies in executableDir.
    static QString helpFilePath(const QString& executableDir);

    void showContents(quintptr ownerWindow) const;

private:
    HelpViewer& m_viewer;
    QString m_executableDir;
};

} // namespace qp
