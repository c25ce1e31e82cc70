#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace qp::test {

// How long the thread it lives on goes without handling events, that is how long a window
// would stay unpainted: the longest interval between two firings of a 5 ms timer.
class EventGapProbe {
public:
    EventGapProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_sinceLast.restart()); });
        m_sinceLast.start();
        m_timer.start(5);
    }
    // The longest gap so far, counting the one still open.
    qint64 longestMilliseconds() const { return std::max(m_longest, m_sinceLast.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longest = 0;
};

} // namespace qp::test
