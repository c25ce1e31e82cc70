#pragma once

#include "platform/libreoffice/UnoWorker.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/types.h>

namespace qp {

class OfficeProcess;
class OfficeProfile;
class OfficeSession;

// Keeps one headless LibreOffice for the life of this object: starts it at first need (or
// ahead of it, when asked), runs every UNO call on one worker thread within a bound, and on
// a hang or a crash kills the office so that the next call starts a fresh one. Failures come
// out as AppError with the number the batch run reacts to.
class OfficeHost {
public:
    explicit OfficeHost(QString programDir);
    // Ends the office.
    ~OfficeHost();
    OfficeHost(const OfficeHost&) = delete;
    OfficeHost& operator=(const OfficeHost&) = delete;

    enum class Phase {
        Loading, // an office found gone before it is simply started again
        Working  // an office found gone took the document with it
    };
    using Work = std::function<void(OfficeSession&)>;
    // Runs the work on the office thread, starting the office first when it is not up.
    // The work must own what it captures: after a time-out it may still be running.
    void run(Phase phase, const QString& what, std::chrono::milliseconds bound, Work work);

    // Starts the office in the background so that it is ready when the first call comes.
    // Returns at once and never throws: a start that fails is reported by the next run().
    void startAhead() noexcept;

    // Which office incarnation is up; documents of an earlier one are gone.
    quint64 generation() const { return m_generation; }
    bool isCurrent(quint64 generation) const { return m_up && generation == m_generation; }
    // The office's process group, also while it starts; 0 when none runs.
    pid_t processGroup() const;
    // Ends the office now; the next call starts it again.
    void shutdown();
    // Kills the office at once, from any thread: the call under way fails as after a crash.
    void kill() noexcept;
    // Ends a worn office between two entries, why saying what wore it; the next call starts
    // a fresh one, also when the end went wrong. Never throws.
    void recycle(const QString& why) noexcept;
    // The office's resident memory; 0 when none runs.
    qint64 residentBytes() const;
    // Has the worker run the work on the office started ahead as soon as it is connected,
    // before any call: it costs the caller nothing. Failures of the work are dropped. The
    // work should end soon once stop is set.
    using WarmUp = std::function<void(OfficeSession&, const std::atomic<bool>& stop)>;
    void warmUpAhead(WarmUp work) noexcept;
    // Tells a warm-up to make way: a document is waiting.
    void stopWarmUp() noexcept { *m_stopWarmUp = true; }

private:
    // Given up by one thread, waited on by another: a pause of the worker ends at once.
    class Cancellation {
    public:
        void cancel() {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_cancelled = true;
            }
            m_changed.notify_all();
        }
        bool isCancelled() {
            std::lock_guard<std::mutex> lock(m_mutex);
            return m_cancelled;
        }
        // Waits up to the pause; true once cancelled.
        bool pause(std::chrono::milliseconds pause) {
            std::unique_lock<std::mutex> lock(m_mutex);
            return m_changed.wait_for(lock, pause, [this] { return m_cancelled; });
        }

    private:
        std::mutex m_mutex;
        std::condition_variable m_changed;
        bool m_cancelled = false;
    };

    // An office process that is starting, and the worker's attempts to reach it.
    struct Launch {
        UnoWorker::Ticket attempts;
        std::shared_ptr<bool> connected;
        std::shared_ptr<Cancellation> cancelled;
        bool ahead = false;
    };

    void start(std::chrono::milliseconds bound);
    void launch(bool ahead);
    void cancelLaunch();
    // Kills the office after a fault and gets a worker ready for the next one.
    void abandonOffice();
    void disconnectSession();
    void replaceWorker();
    void releaseSession();

    QString m_programDir;
    std::unique_ptr<OfficeProfile> m_profile;
    std::unique_ptr<OfficeProcess> m_process;
    std::unique_ptr<UnoWorker> m_worker;
    std::shared_ptr<OfficeSession> m_session;
    std::unique_ptr<Launch> m_launch;
    quint64 m_generation = 0;
    int m_starts = 0;
    // The start that was last warmed up.
    int m_warmedStart = 0;
    std::shared_ptr<std::atomic<bool>> m_stopWarmUp = std::make_shared<std::atomic<bool>>(true);
    bool m_up = false;
    // The office's process group for kill(), which other threads call.
    std::atomic<pid_t> m_group{0};
};

} // namespace qp
