#include "printing/OfficePool.h"

#include "core/AppError.h"
#include "printing/EntryKind.h"
#include "printing/OfficePrinter.h"

#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qp {

namespace {

// How long to wait between two looks at a document that is printing in the background.
constexpr std::chrono::milliseconds PendingLookPause{20};

} // namespace

// One thread and, for rendering, the office that is used on it alone, ended on it.
class OfficePool::Worker {
public:
    Worker(OfficeApplication* office, std::unique_ptr<OfficeApplication> owned = nullptr)
        : m_office(office), m_owned(std::move(owned)), m_context(std::make_unique<QObject>()) {
        m_thread.setObjectName(QStringLiteral("office"));
        m_context->moveToThread(&m_thread);
        m_thread.start();
    }
    ~Worker() {
        finish();
        // The office's own bounds limit how long this takes.
        m_thread.wait();
        m_context.reset();
    }
    // Kills the office at once and ends it on its thread, without waiting: whatever it
    // renders is wanted no more.
    void finish() {
        if (m_finishing)
            return;
        m_finishing = true;
        cancel();
        if (m_office)
            m_office->kill();
        post([this] {
            if (m_office)
                m_office->shutdown();
            m_owned.reset();
        });
        m_thread.quit();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    OfficeApplication& office() { return *m_office; }
    void post(std::function<void()> work) {
        QMetaObject::invokeMethod(m_context.get(), std::move(work), Qt::QueuedConnection);
    }
    // Renders the entry: opens it, runs the print sequence of its kind, lets the document go
    // (closed first when there is no default printer, as the run's end then asks).
    Rendered render(const QString& entry, const PrintOptions& options) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_cancelled = false;
        }
        Rendered result;
        std::unique_ptr<OfficeDocument> document;
        try {
            m_office->setPrintOptions(options);
            document = m_office->open(entry);
            OfficePrinter([this] { pauseOrThrow(); }).print(*document, officeEntryKind(entry));
        } catch (...) {
            result.failure = std::current_exception();
            if (document && failedWith(result.failure, ErrorNumber::NoDefaultPrinter)) {
                try {
                    document->close();
                } catch (...) {
                    // The failure that matters is the missing printer.
                }
            }
        }
        document.reset();
        result.jobs = m_office->takeRenderedJobs();
        return result;
    }
    void cancel() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_cancelled = true;
        }
        m_changed.notify_all();
    }

private:
    void pauseOrThrow() {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_changed.wait_for(lock, PendingLookPause, [this] { return m_cancelled; }))
            throw AppError(ErrorNumber::UnexpectedFailure,
                           QStringLiteral("Printing was stopped before the document was done."));
    }

    OfficeApplication* m_office;
    std::unique_ptr<OfficeApplication> m_owned;
    bool m_finishing = false;
    QThread m_thread;
    std::unique_ptr<QObject> m_context; // lives on m_thread: what runs there is posted to it
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_cancelled = false;
};

OfficePool::OfficePool(OfficeApplication& office, QObject* parent)
    : QObject(parent), m_first(office) {
    m_workers.push_back(std::make_unique<Worker>(&m_first));
    m_sender = std::make_unique<Worker>(nullptr);
}

OfficePool::~OfficePool() {
    endRun();
    // Each office is killed and ended on its own thread, side by side.
    for (auto& worker : m_workers)
        worker->finish();
    m_workers.clear();
    m_sender.reset();
}

void OfficePool::startRun(const QStringList& entries, const PrintOptions& options) {
    endRun();
    m_entries = entries;
    m_options = options;
    m_first.makeWay();
    m_offices = std::max(m_first.beginRun(), 1);
    while (static_cast<int>(m_workers.size()) < m_offices) {
        std::unique_ptr<OfficeApplication> office = m_first.another();
        if (!office)
            break;
        OfficeApplication* raw = office.get();
        m_workers.push_back(std::make_unique<Worker>(raw, std::move(office)));
    }
    renderAhead();
}

void OfficePool::renderAhead() {
    const size_t offices = std::min(m_workers.size(), static_cast<size_t>(m_offices));
    for (size_t index = 0; index < offices; ++index) {
        Worker* worker = m_workers[index].get();
        bool busy = false;
        for (const auto& entry : m_rendering)
            busy = busy || entry.second == worker;
        if (busy)
            continue;
        while (m_nextToRender < m_entries.size() && isPdfEntry(m_entries[m_nextToRender]))
            ++m_nextToRender;
        // The first entry the run has not taken and at most one more for each other office:
        // one office alone renders only what the run has reached.
        if (m_nextToRender >= m_entries.size() || m_nextToRender >= m_firstUntaken + m_offices)
            return;
        const int position = m_nextToRender++;
        m_rendering[position] = worker;
        worker->post([this, worker, run = m_run, position, entry = m_entries[position],
                      options = m_options] {
            // An entry of a run that has ended meanwhile is not rendered at all.
            if (run != m_currentRun)
                return;
            Rendered result = worker->render(entry, options);
            // Dropped with this object when it has gone meanwhile.
            QMetaObject::invokeMethod(
                this, [this, run, position, result] { rendered(run, position, result); },
                Qt::QueuedConnection);
        });
    }
}

void OfficePool::rendered(quint64 run, int position, Rendered result) {
    // What a run rendered after its end is dropped, and its files with it.
    if (run != m_run)
        return;
    m_done[position] = std::move(result);
    deliver();
}

void OfficePool::take(int position, Taken taken) {
    m_wanted = position;
    m_taken = std::move(taken);
    deliver();
}

void OfficePool::deliver() {
    const auto done = m_done.find(m_wanted);
    if (!m_taken || done == m_done.end())
        return;
    Rendered result = std::move(done->second);
    m_done.erase(done);
    // In a pool, the office goes on with the next entry while these jobs go out; after a
    // failure it waits for what the run makes of it. A lone office waits for the run to reach
    // the next entry, so that it never renders what the run's questions may yet cancel.
    if (!result.failure && m_offices > 1)
        releaseBefore(m_wanted + 1);
    Taken taken = std::move(m_taken);
    m_taken = nullptr;
    m_wanted = -1;
    taken(std::move(result));
}

void OfficePool::reach(int position) {
    releaseBefore(position);
}

void OfficePool::releaseBefore(int position) {
    m_firstUntaken = std::max(m_firstUntaken, position);
    // The offices of the entries before it are free again: their jobs are the run's now.
    m_rendering.erase(m_rendering.begin(), m_rendering.lower_bound(m_firstUntaken));
    renderAhead();
}

void OfficePool::send(const RenderedJob& job, Sent sent) {
    m_sender->post([this, job, sent = std::move(sent)] {
        std::exception_ptr failure;
        SentJob taken;
        try {
            taken = m_first.send(job);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [sent, failure, taken] { sent(failure, taken); }, Qt::QueuedConnection);
    });
}

void OfficePool::endRun() {
    m_currentRun = ++m_run;
    m_entries.clear();
    m_nextToRender = 0;
    m_firstUntaken = 0;
    m_rendering.clear();
    m_done.clear();
    m_taken = nullptr;
    m_wanted = -1;
}

void OfficePool::prepare() {
    Worker* first = m_workers.front().get();
    first->post([first] { first->office().prepare(); });
}

void OfficePool::abort() {
    for (const auto& worker : m_workers) {
        worker->cancel();
        worker->office().kill();
    }
}

} // namespace qp
