#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace qp::test {

// How long the thread it lives on goes without handling events, so a window without paint:
// the longest interval between two firings of a 5 ms timer, counting the one still open.
class EventGapProbe {
public:
    EventGapProbe() {
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_sinceLast.restart()); });
        m_sinceLast.start();
        m_timer.start(5);
    }
    qint64 longestMilliseconds() const { return std::max(m_longest, m_sinceLast.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longest = 0;
};

} // namespace qp::test
