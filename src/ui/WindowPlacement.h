#pragma once

#include <QRect>
#include <QWidget>

namespace qp {

// Moves the window so that its outer frame, of the size given, sits in the middle of the
// screen area.
inline void moveCentred(QWidget& window, const QRect& screenArea, const QSize& outer) {
    window.move(screenArea.x() + screenArea.width() / 2 - outer.width() / 2,
                screenArea.y() + screenArea.height() / 2 - outer.height() / 2);
}

} // namespace qp
