#include "platform/DesktopHelpViewer.h"

#include <QDesktopServices>
#include <QUrl>

namespace qp {

void DesktopHelpViewer::showContents(const QString& path, quintptr /*ownerWindow*/) {
    // A desktop handler runs as its own process and has no notion of an owner window.
    // fromLocalFile keeps blanks, '#' and '%' in the folder name part of the path instead
    // of reading them as URL syntax. The result is not looked at: a missing viewer or file
    // is the desktop's to report.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace qp
