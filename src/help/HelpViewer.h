#pragma once

#include <QString>
#include <QtGlobal>

namespace qp {

// Shows a compiled help file at its default topic. The viewer is not modal: the call
// returns at once and the program keeps nothing of it. A viewer reports nothing to the
// program; a missing file or a missing viewer shows only what the desktop itself shows.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // ownerWindow is the native handle of the window that asked for help, for viewers that
    // can place themselves beside it.
    virtual void showContents(const QString& path, quintptr ownerWindow) = 0;
};

} // namespace qp
