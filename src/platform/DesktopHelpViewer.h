#pragma once

#include "help/HelpViewer.h"

namespace qp {

// Opens help with the program the desktop associates with its kind of file (the user's CHM
// viewer, the web browser), found and started the way menus and file managers do, through
// GLib. Nothing of it is looked up before help is first asked for, so a desktop without a
// CHM viewer costs nothing at start-up.
class DesktopHelpViewer : public HelpViewer {
public:
    bool show(const QString& path, quintptr ownerWindow) override;
};

} // namespace qp
