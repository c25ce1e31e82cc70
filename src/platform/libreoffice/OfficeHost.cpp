#include "platform/libreoffice/OfficeHost.h"

#include "core/AppError.h"
#include "platform/libreoffice/OfficeProcess.h"
#include "platform/libreoffice/OfficeProfile.h"
#include "platform/libreoffice/OfficeSession.h"
#include "platform/libreoffice/UnoWorker.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <csignal>
#include <unistd.h>

namespace qp {

// QT_LOGGING_RULES="quirepress.office.debug=true" shows how long each office call takes.
Q_LOGGING_CATEGORY(officeCalls, "quirepress.office", QtWarningMsg)

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// LibreOffice asks to be started again after it has set up a profile.
const QString RestartRequested = QStringLiteral("exit code 81");
// Starting may take long on a busy machine, whatever the bound for single calls.
constexpr milliseconds MinimumStartBound = seconds(120);
// The worker's attempts to reach a starting office: how often, and when nobody is left
// waiting for them, how long at the most.
constexpr milliseconds ConnectRetryPause{50};
constexpr milliseconds AttemptsGiveUp = std::chrono::minutes(10);
// How often a start looks whether the office process is still alive.
constexpr milliseconds StartWatchSlice{100};
// How long a call on a killed office may take to notice that the office is gone.
constexpr milliseconds AfterKillBound = seconds(20);
// Ending the program waits this long for the office to end by itself, twice at the most
// (asked, then gone), before it is killed.
constexpr milliseconds ShutdownBound = seconds(3);

QString secondsText(milliseconds bound) {
    return QString::number((bound.count() + 999) / 1000);
}

AppError notStartedWithin(milliseconds bound) {
    return AppError(
        ErrorNumber::AutomationError,
        QStringLiteral("LibreOffice did not start within %1 seconds.").arg(secondsText(bound)));
}

} // namespace

OfficeHost::OfficeHost(QString programDir)
    : m_programDir(std::move(programDir)), m_worker(std::make_unique<UnoWorker>()),
      m_session(std::make_shared<OfficeSession>(m_programDir)) {}

OfficeHost::~OfficeHost() {
    shutdown();
    releaseSession();
    if (!m_worker->waitIdle(AfterKillBound))
        m_worker->abandon();
}

pid_t OfficeHost::processGroup() const {
    return m_process ? m_process->processGroup() : 0;
}

void OfficeHost::kill() noexcept {
    // The group may have been reaped meanwhile: 0 then, and never this program's own group.
    const pid_t group = m_group;
    if (group > 0)
        ::kill(-group, SIGKILL);
}

void OfficeHost::releaseSession() {
    if (!m_session)
        return;
    // UNO references belong to the worker thread: the task holds the last one and drops it
    // there. A task that does not get to run is dropped on the worker too.
    m_worker->run([session = std::move(m_session)]() mutable { session.reset(); }, AfterKillBound);
}

void OfficeHost::launch(bool ahead) {
    if (!m_profile)
        m_profile = std::make_unique<OfficeProfile>(m_programDir);
    // Named after the profile too: each office of a pool listens on a pipe of its own.
    const QString pipe = QStringLiteral("quirepress-%1-%2-%3")
                             .arg(getpid())
                             .arg(QFileInfo(m_profile->path()).fileName().section('-', -1))
                             .arg(++m_starts);
    const QString temporary = m_profile->path() + QStringLiteral("/tmp");
    QDir().mkpath(temporary);
    m_process = std::make_unique<OfficeProcess>(
        m_programDir + QStringLiteral("/soffice.bin"),
        QStringList{QStringLiteral("-env:UserInstallation=") + m_profile->url(),
                    QStringLiteral("--headless"), QStringLiteral("--invisible"),
                    QStringLiteral("--nologo"), QStringLiteral("--norestore"),
                    QStringLiteral("--nodefault"), QStringLiteral("--nolockcheck"),
                    QStringLiteral("--nofirststartwizard"),
                    QStringLiteral("--accept=pipe,name=") + pipe +
                        QStringLiteral(";urp;StarOffice.ComponentContext")},
        temporary);
    m_process->start();
    m_group = m_process->processGroup();

    auto launch = std::make_unique<Launch>();
    launch->connected = std::make_shared<bool>(false);
    launch->cancelled = std::make_shared<Cancellation>();
    launch->ahead = ahead;
    // The worker keeps trying until the office listens; the caller only watches it, so a
    // start ahead costs the window nothing.
    launch->attempts = m_worker->post(
        [session = m_session, pipe, connected = launch->connected, cancelled = launch->cancelled] {
            const auto giveUp = std::chrono::steady_clock::now() + AttemptsGiveUp;
            while (std::chrono::steady_clock::now() < giveUp) {
                if (session->connect(pipe)) {
                    *connected = true;
                    return;
                }
                if (cancelled->pause(ConnectRetryPause))
                    return;
            }
        });
    m_launch = std::move(launch);
}

void OfficeHost::cancelLaunch() {
    if (!m_launch)
        return;
    m_launch->cancelled->cancel();
    // Nobody listens on the pipe of an office that has gone, so the attempts end at once.
    try {
        if (m_worker->wait(m_launch->attempts, AfterKillBound) == UnoWorker::Outcome::TimedOut)
            replaceWorker();
    } catch (...) {
        // A failed attempt is of no interest once the launch is given up.
    }
    m_launch.reset();
}

void OfficeHost::startAhead() noexcept {
    if (m_up || m_launch)
        return;
    try {
        launch(true);
    } catch (...) {
        // Starting again at the first call reports the same failure where the user sees it.
        m_launch.reset();
        m_process.reset();
    }
}

void OfficeHost::start(milliseconds bound) {
    const milliseconds startBound = std::max(bound, MinimumStartBound);
    const QDeadlineTimer deadline(startBound.count());
    if (!m_launch)
        launch(false);
    int restarts = 0;
    for (;;) {
        UnoWorker::Outcome outcome;
        try {
            outcome = m_worker->wait(m_launch->attempts, StartWatchSlice);
        } catch (...) {
            m_launch.reset();
            abandonOffice();
            throw;
        }
        if (outcome == UnoWorker::Outcome::Done) {
            const bool connected = *m_launch->connected;
            m_launch.reset();
            if (connected) {
                m_up = true;
                ++m_generation;
                return;
            }
            abandonOffice();
            throw notStartedWithin(startBound);
        }
        // Watching the process while the worker connects: an office that dies at start is
        // reported at once, not after the bound.
        if (!m_process->isRunning()) {
            const QString end = m_process->endDescription();
            const bool startedAhead = m_launch->ahead;
            cancelLaunch();
            m_process->killGroup();
            // An office started ahead that has gone since is started afresh, as if none had
            // been started; LibreOffice asks to be started again after it has set up a profile.
            if (startedAhead || (end == RestartRequested && ++restarts < 3)) {
                launch(false);
                continue;
            }
            if (end == RestartRequested)
                throw AppError(
                    ErrorNumber::AutomationError,
                    QStringLiteral("LibreOffice kept asking to be restarted while starting."));
            throw AppError(ErrorNumber::AutomationError,
                           QStringLiteral("LibreOffice ended while starting (%1).").arg(end));
        }
        if (deadline.hasExpired()) {
            abandonOffice();
            throw notStartedWithin(startBound);
        }
    }
}

void OfficeHost::abandonOffice() {
    m_up = false;
    m_group = 0;
    ++m_generation;
    if (m_process)
        m_process->killGroup();
    if (m_launch) {
        m_launch->cancelled->cancel();
        m_launch.reset();
    }
    // A call into the killed office returns once the connection notices the broken pipe.
    if (m_worker->waitIdle(AfterKillBound))
        disconnectSession();
    else
        replaceWorker();
}

void OfficeHost::disconnectSession() {
    auto session = m_session;
    // A disconnect that hangs would hold up the next connect behind it: give that worker up.
    if (m_worker->run([session] { session->disconnect(); }, AfterKillBound) ==
        UnoWorker::Outcome::TimedOut)
        replaceWorker();
}

void OfficeHost::replaceWorker() {
    // The stuck task holds the old session and drops it on its own thread when it returns.
    m_worker->abandon();
    m_worker = std::make_unique<UnoWorker>();
    m_session = std::make_shared<OfficeSession>(m_programDir);
}

void OfficeHost::run(Phase phase, const QString& what, milliseconds bound, Work work) {
    if (m_up && !m_process->isRunning()) {
        const QString end = m_process->endDescription();
        abandonOffice();
        // Its documents went with it; only opening a new one may start another office.
        if (phase != Phase::Loading)
            throw AppError(ErrorNumber::CannotBind,
                           QStringLiteral("LibreOffice ended unexpectedly (%1) before %2. It "
                                          "will be started again for the next document.")
                               .arg(end.isEmpty() ? QStringLiteral("unknown cause") : end, what));
    }
    QElapsedTimer elapsed;
    elapsed.start();
    if (!m_up) {
        start(bound);
        qCDebug(officeCalls) << "started the office in" << elapsed.restart() << "ms";
    }
    struct CallLog {
        const QString& what;
        QElapsedTimer& elapsed;
        ~CallLog() { qCDebug(officeCalls) << what << "took" << elapsed.elapsed() << "ms"; }
    } callLog{what, elapsed};
    auto session = m_session;
    UnoWorker::Outcome outcome;
    try {
        outcome = m_worker->run([session, work] { work(*session); }, bound);
    } catch (const DocumentRefused& refused) {
        throw AppError(ErrorNumber::CannotBind,
                       QStringLiteral("%1: %2").arg(what, QString::fromStdString(refused.what())));
    } catch (const OfficeFailure& failure) {
        if (failure.officeGone || !m_process->isRunning()) {
            const QString end = m_process->isRunning() ? QString() : m_process->endDescription();
            abandonOffice();
            // The document took the office with it: it is the document that cannot be
            // printed, not the batch that must end.
            throw AppError(
                ErrorNumber::CannotBind,
                QStringLiteral("LibreOffice ended unexpectedly while %1%2. It will be "
                               "started again for the next document.")
                    .arg(what, end.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(end)));
        }
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("LibreOffice failed while %1: %2")
                           .arg(what, QString::fromStdString(failure.what())));
    }
    if (outcome == UnoWorker::Outcome::TimedOut) {
        abandonOffice();
        throw AppError(ErrorNumber::CannotBind,
                       QStringLiteral("LibreOffice did not answer within %1 seconds while %2, "
                                      "so it was ended.")
                           .arg(secondsText(bound), what));
    }
}

void OfficeHost::shutdown() {
    if (!m_process)
        return;
    // Asked politely first, so that the office can tidy its profile; killed whatever it does.
    if (m_up && m_process->isRunning()) {
        auto session = m_session;
        const UnoWorker::Outcome outcome =
            m_worker->run([session] { session->terminate(); }, ShutdownBound);
        if (outcome == UnoWorker::Outcome::Done)
            m_process->waitForEnd(static_cast<int>(ShutdownBound.count()));
    }
    abandonOffice();
    m_process.reset();
}

void OfficeHost::recycle(const QString& why) noexcept {
    qCDebug(officeCalls) << "replacing the office" << why;
    try {
        shutdown();
    } catch (...) {
        // Whatever the polite end left behind goes below, as after a crash.
    }
    try {
        if (m_process) {
            abandonOffice();
            m_process.reset();
        }
    } catch (...) {
        // Only a failed allocation gets here; the next call finds no office up either way.
    }
}

qint64 OfficeHost::residentBytes() const {
    const pid_t office = processGroup(); // the group's leader is soffice.bin itself
    if (office <= 0)
        return 0;
    QFile status(QStringLiteral("/proc/%1/status").arg(office));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    // "VmRSS:    123456 kB"
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

void OfficeHost::warmUpAhead(WarmUp work) noexcept {
    if (!m_launch || !m_launch->ahead || m_warmedStart == m_starts)
        return;
    m_warmedStart = m_starts;
    try {
        m_stopWarmUp = std::make_shared<std::atomic<bool>>(false);
        // Queued behind the attempts to connect, and ahead of any call that comes later.
        m_worker->post([session = m_session, connected = m_launch->connected,
                        cancelled = m_launch->cancelled, stop = m_stopWarmUp,
                        work = std::move(work)] {
            if (!*connected || cancelled->isCancelled() || *stop)
                return;
            try {
                work(*session, *stop);
            } catch (...) {
                // A cold office is only slower: the first real call meets any real fault.
            }
        });
    } catch (...) {
        // Without a warm-up the first document takes a little longer, nothing else.
    }
}

} // namespace qp
