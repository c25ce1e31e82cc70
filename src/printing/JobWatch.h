#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

namespace qp {

// How a job ended in the printing system.
struct JobEnding {
    enum class State { Completed, Aborted, Canceled };
    State state = State::Completed;
    QString reason; // the printing system's words; empty for a job that completed
    int pages = 0;  // as the printing system counted them
    QDateTime at;
};

// Follows jobs that the printing system took until each ends. Asking it never waits: the
// printing system is asked elsewhere, and each answer comes as a signal on the thread that
// owns the watch.
class JobWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Follows the job of that id on the destination ("printer" or "printer/instance").
    virtual void follow(int job, const QString& destination) = 0;

Q_SIGNALS:
    void jobEnded(int job, const qp::JobEnding& ending);
    // A printer that holds a followed job has stopped (or paused); told once until it moves
    // again, with the printing system's reasons.
    void printerStopped(const QString& printer, const QString& reasons);
};

} // namespace qp
