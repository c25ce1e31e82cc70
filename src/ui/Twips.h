#pragma once

#include <QRect>
#include <QtGlobal>

namespace qp {

// The windows are designed in twips (1/1440 inch): 15 make one pixel at 96 dpi. The scale
// follows the screen's logical dpi, so the layout grows with the desktop's text scaling.
class TwipScale {
public:
    explicit TwipScale(double logicalDpi = 96.0) : m_factor(logicalDpi / 96.0) {}

    double factor() const { return m_factor; }
    int px(int twips) const { return qRound(twips * m_factor / 15.0); }
    QRect rect(int left, int top, int width, int height) const {
        return QRect(px(left), px(top), px(width), px(height));
    }

private:
    double m_factor;
};

} // namespace qp
