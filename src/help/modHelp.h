#pragma once

#include "help/HelpViewer.h"

#include <QString>
#include <QtGlobal>

namespace qp {

// The help file's place relative to the folder of the executable, appended to it as it is.
inline constexpr char HelpFileRelativePath[] = "/helpfiles/Quirepress.chm";

// The path of the help file for a program whose executable lies in executableDir.
QString HelpFilePath(const QString& executableDir);

// Opens the help file beside the executable at its default topic. Help is a convenience:
// whatever goes wrong in the viewer is swallowed without a message, and the program goes on.
void ShowHelpContents(HelpViewer& viewer, const QString& executableDir, quintptr ownerWindow);

} // namespace qp
