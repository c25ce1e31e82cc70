#pragma once

#include <QString>
#include <QtGlobal>

namespace qp {

// Shows a help file (the compiled help, or one of its pages) with the desktop's program for
// that kind of file. The viewer is not modal: the call returns at once and the program keeps
// nothing of it.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // False, without trying, when the desktop has no program for this kind of file; what the
    // program it has then shows of a missing file is its own affair. ownerWindow is the native
    // handle of the window that asked for help, for viewers that can place themselves beside it.
    virtual bool show(const QString& path, quintptr ownerWindow) = 0;
};

} // namespace qp
