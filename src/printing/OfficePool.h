#pragma once

#include "printing/OfficeDocument.h"

#include <QObject>
#include <QStringList>
#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace qp {

// The offices of a run, each on a thread of its own, rendering the run's Office entries in
// list order: the first entry whose jobs the run has not taken, and one more ahead for each
// other office. The run takes each entry's jobs when it reaches the entry and sends them, so
// that jobs go out in list order whichever office finishes first. The window's thread only ever
// hears how an entry went. Offices are ended, each on its own thread, when this object goes.
class OfficePool : public QObject {
    Q_OBJECT
public:
    // What rendering an entry gave: its jobs in order, and the failure that stopped it (the
    // jobs rendered before a failure still go out before it is reported).
    struct Rendered {
        std::vector<RenderedJob> jobs;
        std::exception_ptr failure;
    };
    using Taken = std::function<void(Rendered)>;
    using Sent = std::function<void(std::exception_ptr failure, const SentJob& job)>;

    explicit OfficePool(OfficeApplication& office, QObject* parent = nullptr);
    ~OfficePool() override;
    OfficePool(const OfficePool&) = delete;
    OfficePool& operator=(const OfficePool&) = delete;

    // A run of these entries begins, with these options and as many offices as the first one's
    // settings, read now, allow; its Office entries start rendering at once.
    void startRun(const QStringList& entries, const PrintOptions& options);
    // The run has reached the entry at position, and is done with those before it.
    void reach(int position);
    // The Office entry at position, once rendered; always later, from the event loop.
    void take(int position, Taken taken);
    // Sends a rendered job on a thread of its own; always later, from the event loop.
    void send(const RenderedJob& job, Sent sent);
    // The run is over: nothing more is rendered, and nothing rendered ahead is kept.
    void endRun();
    // An Office entry is coming: the first office may get ready meanwhile.
    void prepare();
    // Gives up at once whatever the offices render: they are killed, and the entries fail.
    void abort();

private:
    class Worker;
    void renderAhead();
    void rendered(quint64 run, int position, Rendered result);
    void deliver();
    void releaseBefore(int position);

    OfficeApplication& m_first;
    std::vector<std::unique_ptr<Worker>> m_workers;
    std::unique_ptr<Worker> m_sender;
    QStringList m_entries;
    PrintOptions m_options;
    int m_offices = 1;
    quint64 m_run = 0;
    std::atomic<quint64> m_currentRun{0}; // m_run, for the workers
    int m_nextToRender = 0;
    int m_firstUntaken = 0; // the run has the jobs of every Office entry before it
    // Entries under way or rendered and not yet taken, by position, with their office.
    std::map<int, Worker*> m_rendering;
    std::map<int, Rendered> m_done;
    int m_wanted = -1;
    Taken m_taken;
};

} // namespace qp
