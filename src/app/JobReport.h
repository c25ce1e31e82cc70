#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

class QIODevice;

namespace qp {

// What became of one job, or of an entry that gave none.
struct JobRecord {
    enum class State { Sent, Completed, Aborted, Canceled, NotPrinted };
    QString file; // absolute
    int worksheet = 0;
    QString destination;
    int job = 0; // 0: no job
    State state = State::Sent;
    QString reason;      // CUPS's words or ours; empty when there is nothing to say
    int pages = -1;      // what CUPS counted once the job ended, else the pages sent; -1 unknown
    QStringList options; // each as lp's -o takes it
    QDateTime started, sent, ended;
};

// The sum of a run, the report's last line.
struct RunSummary {
    QString destination;
    int entries = 0;
    int printed = 0;
    int notPrinted = 0;
    int exitStatus = 0;
    bool waited = false; // the jobs were followed to their end
    QDateTime started, ended;
};

// A run's report as JSON Lines: one object per job and per entry that gave no job, each
// written and flushed as soon as it is known, then one summary object. Any mode that prints
// jobs writes the same objects, so that one reader serves them all.
//   {"file":"/abs/a.xls","worksheet":2,"destination":"office/duplex","job":17,
//    "state":"completed","reason":null,"pages":3,"options":["sides=two-sided-long-edge"],
//    "started":"2026-12-07T21:00:00.120Z","sent":"...","ended":"..."}
//   {"summary":true,"destination":"office","entries":4,"printed":3,"notPrinted":1,"jobs":4,
//    "sent":0,"completed":3,"aborted":1,"canceled":0,"waited":true,"exitStatus":1,
//    "started":"...","ended":"..."}
class JobReport {
public:
    explicit JobReport(QIODevice& out) : m_out(out) {}

    void write(const JobRecord& record);
    void write(const RunSummary& summary);

    static QString stateName(JobRecord::State state);

private:
    void writeLine(const QByteArray& json);

    QIODevice& m_out;
    int m_jobs = 0;
    QMap<JobRecord::State, int> m_states;
};

} // namespace qp
