#include "platform/libreoffice/OfficeConnection.h"

#include "core/AppError.h"
#include "platform/libreoffice/OfficeProcess.h"
#include "platform/libreoffice/OfficeProfile.h"
#include "platform/libreoffice/OfficeSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <csignal>
#include <pthread.h>
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
// How often a start tries to reach the office it launched.
constexpr milliseconds ConnectRetryPause{50};

QString secondsText(milliseconds bound) {
    return QString::number((bound.count() + 999) / 1000);
}

AppError notStartedWithin(milliseconds bound) {
    return AppError(
        ErrorNumber::AutomationError,
        QStringLiteral("LibreOffice did not start within %1 seconds.").arg(secondsText(bound)));
}

AppError timedOut(milliseconds bound, const QString& what) {
    return AppError(ErrorNumber::CannotBind,
                    QStringLiteral("LibreOffice did not answer within %1 seconds while %2, so it "
                                   "was ended.")
                        .arg(secondsText(bound), what));
}

// Writing to the pipe of an office that has died must fail the call, not end the program: the
// connection's own threads inherit this mask from the thread that connects.
void ignorePipeSignalOnThisThread() {
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
}

} // namespace

OfficeConnection::OfficeConnection(QString programDir)
    : m_programDir(std::move(programDir)),
      m_session(std::make_unique<OfficeSession>(m_programDir)) {}

OfficeConnection::~OfficeConnection() {
    shutdown();
}

void OfficeConnection::kill() noexcept {
    // The group may have been reaped meanwhile: 0 then, and never this program's own group.
    const pid_t group = m_group;
    if (group > 0)
        ::kill(-group, SIGKILL);
    m_pauseEnded.notify_all();
}

void OfficeConnection::launch() {
    if (!m_profile)
        m_profile = std::make_unique<OfficeProfile>(m_programDir);
    // Named after the profile too: each office of a pool listens on a pipe of its own.
    m_pipe = QStringLiteral("quirepress-%1-%2-%3")
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
                    QStringLiteral("--accept=pipe,name=") + m_pipe +
                        QStringLiteral(";urp;StarOffice.ComponentContext")},
        temporary);
    m_process->start();
    m_group = m_process->processGroup();
}

void OfficeConnection::start(milliseconds bound) {
    ignorePipeSignalOnThisThread();
    const milliseconds startBound = std::max(bound, MinimumStartBound);
    const QDeadlineTimer deadline(startBound.count());
    int restarts = 0;
    for (;;) {
        launch();
        // Until the office listens, or ends: one that dies at start is reported at once.
        while (m_process->isRunning()) {
            m_deadline.arm(m_group, milliseconds(std::max<qint64>(deadline.remainingTime(), 1)));
            bool connected = false;
            try {
                connected = m_session->connect(m_pipe);
            } catch (...) {
                // Not listening yet, as far as the next attempt is concerned.
            }
            if (m_deadline.disarm() || (!connected && deadline.hasExpired())) {
                abandon();
                throw notStartedWithin(startBound);
            }
            if (connected) {
                m_up = true;
                ++m_generation;
                return;
            }
            // On this office's own thread, never the window's; a kill ends the pause at once.
            std::unique_lock<std::mutex> lock(m_pauseMutex);
            m_pauseEnded.wait_for(lock, ConnectRetryPause);
        }
        const QString end = m_process->endDescription();
        abandon();
        if (end == RestartRequested && ++restarts < 3)
            continue;
        if (end == RestartRequested)
            throw AppError(
                ErrorNumber::AutomationError,
                QStringLiteral("LibreOffice kept asking to be restarted while starting."));
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("LibreOffice ended while starting (%1).").arg(end));
    }
}

void OfficeConnection::abandon() noexcept {
    m_up = false;
    m_group = 0;
    ++m_generation;
    if (m_process)
        m_process->killGroup();
    try {
        // The connection to a killed office breaks at once, and the next start gets a new one.
        m_session->disconnect();
    } catch (...) {
    }
}

void OfficeConnection::run(Phase phase, const QString& what, milliseconds bound, const Work& work) {
    if (m_up && !m_process->isRunning()) {
        const QString end = m_process->endDescription();
        abandon();
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
    // A call that came back only as the office was killed did not do its work, whatever it
    // says.
    const auto failIfOverran = [&] {
        if (m_deadline.disarm()) {
            abandon();
            throw timedOut(bound, what);
        }
    };
    m_deadline.arm(m_group, bound);
    try {
        work(*m_session);
    } catch (const DocumentRefused& refused) {
        failIfOverran();
        throw AppError(ErrorNumber::CannotBind,
                       QStringLiteral("%1: %2").arg(what, QString::fromStdString(refused.what())));
    } catch (const OfficeFailure& failure) {
        failIfOverran();
        if (failure.officeGone || !m_process->isRunning()) {
            const QString end = m_process->isRunning() ? QString() : m_process->endDescription();
            abandon();
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
    } catch (...) {
        m_deadline.disarm();
        throw;
    }
    failIfOverran();
}

void OfficeConnection::warmUp(const WarmUp& work) noexcept {
    m_makeWay = false;
    try {
        if (!m_up)
            start(MinimumStartBound);
        if (m_warmedGeneration == m_generation || m_makeWay)
            return;
        m_warmedGeneration = m_generation;
        m_deadline.arm(m_group, MinimumStartBound);
        try {
            work(*m_session, m_makeWay);
        } catch (...) {
            // A cold office is only slower: the first real call meets any real fault.
        }
        if (m_deadline.disarm())
            abandon();
    } catch (...) {
        // Starting again at the first call reports the same failure where the user sees it.
    }
}

void OfficeConnection::shutdown() noexcept {
    if (!m_process)
        return;
    // Killed rather than asked to end: its profile and its temporary files go with the folder
    // it was given, so there is nothing for it to tidy, and asking costs half a second.
    abandon();
    m_process.reset();
}

void OfficeConnection::recycle(const QString& why) noexcept {
    qCDebug(officeCalls) << "replacing the office" << why;
    shutdown();
}

qint64 OfficeConnection::residentBytes() const {
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

} // namespace qp
