#pragma once

#include "platform/libreoffice/CallDeadline.h"

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

// One headless LibreOffice, started at first need, and the UNO connection to it. Every call
// runs on the thread that makes it, always the same one, under a deadline: an office that
// overruns it is killed, and a killed or crashed office is started afresh by the next call
// that may start one. Failures come out as AppError with the number the batch run reacts to.
class OfficeConnection {
public:
    explicit OfficeConnection(QString programDir);
    // Ends the office.
    ~OfficeConnection();
    OfficeConnection(const OfficeConnection&) = delete;
    OfficeConnection& operator=(const OfficeConnection&) = delete;

    enum class Phase {
        Loading, // an office found gone before it is simply started again
        Working  // an office found gone took the document with it
    };
    using Work = std::function<void(OfficeSession&)>;
    // Runs the work on the office, starting the office first when it is not up.
    void run(Phase phase, const QString& what, std::chrono::milliseconds bound, const Work& work);

    // Starts the office, if it is not up, and runs the work on it once per start; the work
    // should end soon after makeWay(). Never throws: a failure shows at the next run().
    using WarmUp = std::function<void(OfficeSession&, const std::atomic<bool>& stop)>;
    void warmUp(const WarmUp& work) noexcept;
    // From any thread: a document is waiting, so a warm-up under way ends early.
    void makeWay() noexcept { m_makeWay = true; }

    // Which office incarnation is up; documents of an earlier one are gone.
    quint64 generation() const { return m_generation; }
    bool isCurrent(quint64 generation) const { return m_up && generation == m_generation; }
    // From any thread: the office's process group, also while it starts; 0 when none runs.
    pid_t processGroup() const { return m_group; }
    // Ends the office now, killed: it has nothing to tidy. The next call starts it again.
    void shutdown() noexcept;
    // From any thread: kills the office at once; the call under way fails as after a crash.
    void kill() noexcept;
    // Ends a worn office between two entries, why saying what wore it.
    void recycle(const QString& why) noexcept;
    // The office's resident memory; 0 when none runs.
    qint64 residentBytes() const;

private:
    void start(std::chrono::milliseconds bound);
    void launch();
    // Kills the office after a fault, and forgets it.
    void abandon() noexcept;

    QString m_programDir;
    std::unique_ptr<OfficeProfile> m_profile;
    std::unique_ptr<OfficeProcess> m_process;
    std::unique_ptr<OfficeSession> m_session;
    CallDeadline m_deadline;
    QString m_pipe;
    quint64 m_generation = 0;
    quint64 m_warmedGeneration = 0;
    int m_starts = 0;
    bool m_up = false;
    std::atomic<bool> m_makeWay{false};
    std::atomic<pid_t> m_group{0};
    // Between two attempts to reach a starting office.
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseEnded;
};

} // namespace qp
