#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace qp::test {

// Measures how long the thread it lives on goes without handling events: a timer fires every
// few milliseconds, and the longest interval between two of its firings is the longest time
// the window would have stayed unpainted.
class EventGapProbe {
public:
    EventGapProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_sinceLast.restart()); });
        m_sinceLast.start();
        m_timer.start();
    }
    // The longest gap so far, counting the one still open.
    qint64 longestMilliseconds() const { return std::max(m_longest, m_sinceLast.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longest = 0;
};

} // namespace qp::test
