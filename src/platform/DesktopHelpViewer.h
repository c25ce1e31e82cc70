#pragma once

#include "help/HelpViewer.h"

namespace qp {

// Opens the help file with whatever program the desktop associates with it (the user's
// CHM viewer, through xdg-open or the desktop portal). Nothing of it is looked up before
// help is first asked for, so a desktop without a CHM viewer costs nothing at start-up.
class DesktopHelpViewer : public HelpViewer {
public:
    void showContents(const QString& path, quintptr ownerWindow) override;
};

} // namespace qp
