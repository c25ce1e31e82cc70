#include "platform/libreoffice/OfficeHost.h"

#include "core/AppError.h"
#include "platform/libreoffice/OfficeProcess.h"
#include "platform/libreoffice/OfficeProfile.h"
#include "platform/libreoffice/OfficeSession.h"
#include "platform/libreoffice/UnoWorker.h"

#include <QDeadlineTimer>
#include <QThread>

#include <unistd.h>

namespace qp {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// LibreOffice asks to be started again after it has set up a profile.
const QString RestartRequested = QStringLiteral("exit code 81");
// Starting may take long on a busy machine, whatever the bound for single calls.
constexpr milliseconds MinimumStartBound = seconds(120);
constexpr milliseconds ConnectAttemptBound = seconds(30);
// How long a call on a killed office may take to notice that the office is gone.
constexpr milliseconds AfterKillBound = seconds(20);
constexpr milliseconds ShutdownBound = seconds(15);

QString secondsText(milliseconds bound) {
    return QString::number((bound.count() + 999) / 1000);
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
    return m_up && m_process ? m_process->processGroup() : 0;
}

void OfficeHost::releaseSession() {
    // UNO references belong to the worker thread: the last one is dropped there.
    std::shared_ptr<OfficeSession> session = std::move(m_session);
    if (session)
        m_worker->run([session]() mutable { session.reset(); }, AfterKillBound);
}

bool OfficeHost::tryConnect(const QString& pipeName, milliseconds bound) {
    auto connected = std::make_shared<bool>(false);
    auto session = m_session;
    const UnoWorker::Outcome outcome = m_worker->run(
        [session, pipeName, connected] { *connected = session->connect(pipeName); }, bound);
    if (outcome == UnoWorker::Outcome::TimedOut) {
        abandonOffice();
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("LibreOffice did not answer within %1 seconds after it "
                                      "was started.")
                           .arg(secondsText(bound)));
    }
    return *connected;
}

void OfficeHost::start(milliseconds bound) {
    if (!m_profile)
        m_profile = std::make_unique<OfficeProfile>(m_programDir);
    const milliseconds startBound = std::max(bound, MinimumStartBound);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const QString pipe = QStringLiteral("quirepress-%1-%2").arg(getpid()).arg(++m_starts);
        m_process = std::make_unique<OfficeProcess>(
            m_programDir + QStringLiteral("/soffice.bin"),
            QStringList{QStringLiteral("-env:UserInstallation=") + m_profile->url(),
                        QStringLiteral("--headless"), QStringLiteral("--invisible"),
                        QStringLiteral("--nologo"), QStringLiteral("--norestore"),
                        QStringLiteral("--nodefault"), QStringLiteral("--nolockcheck"),
                        QStringLiteral("--nofirststartwizard"),
                        QStringLiteral("--accept=pipe,name=") + pipe +
                            QStringLiteral(";urp;StarOffice.ComponentContext")});
        m_process->start();
        const QDeadlineTimer deadline(startBound.count());
        bool restart = false;
        while (!restart) {
            // Connecting while watching the process: an office that dies at start is
            // reported at once, not after the bound.
            if (!m_process->isRunning()) {
                if (m_process->endDescription() == RestartRequested) {
                    restart = true;
                    continue;
                }
                const QString end = m_process->endDescription();
                m_process->killGroup();
                throw AppError(ErrorNumber::AutomationError,
                               QStringLiteral("LibreOffice ended while starting (%1).").arg(end));
            }
            if (tryConnect(pipe, ConnectAttemptBound)) {
                m_up = true;
                ++m_generation;
                return;
            }
            if (deadline.hasExpired()) {
                abandonOffice();
                throw AppError(ErrorNumber::AutomationError,
                               QStringLiteral("LibreOffice did not start within %1 seconds.")
                                   .arg(secondsText(startBound)));
            }
            QThread::msleep(50);
        }
        m_process->killGroup();
    }
    throw AppError(ErrorNumber::AutomationError,
                   QStringLiteral("LibreOffice kept asking to be restarted while starting."));
}

void OfficeHost::abandonOffice() {
    m_up = false;
    ++m_generation;
    if (m_process)
        m_process->killGroup();
    // A call into the killed office returns once the connection notices the broken pipe.
    if (m_worker->waitIdle(AfterKillBound)) {
        auto session = m_session;
        m_worker->run([session] { session->disconnect(); }, AfterKillBound);
        return;
    }
    // Stuck for good: leave that thread with its session and carry on with fresh ones.
    m_worker->abandon();
    m_worker = std::make_unique<UnoWorker>();
    m_session = std::make_shared<OfficeSession>(m_programDir);
}

void OfficeHost::run(Phase phase, const QString& what, milliseconds bound, Work work) {
    if (m_up && !m_process->isRunning()) {
        const QString end = m_process->endDescription();
        abandonOffice();
        // Its documents went with it; only binding a new one may start another office.
        if (phase != Phase::Loading)
            throw AppError(ErrorNumber::AutomationError,
                           QStringLiteral("LibreOffice ended unexpectedly (%1) before %2. It "
                                          "will be started again for the next document.")
                               .arg(end.isEmpty() ? QStringLiteral("unknown cause") : end, what));
    }
    if (!m_up)
        start(bound);
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
            throw AppError(
                ErrorNumber::AutomationError,
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
        throw AppError(phase == Phase::Loading ? ErrorNumber::CannotBind
                                               : ErrorNumber::AutomationError,
                       QStringLiteral("LibreOffice did not answer within %1 seconds while %2, "
                                      "so it was ended.")
                           .arg(secondsText(bound), what));
    }
}

void OfficeHost::shutdown() {
    if (!m_process)
        return;
    if (m_up && m_process->isRunning()) {
        auto session = m_session;
        const UnoWorker::Outcome outcome =
            m_worker->run([session] { session->terminate(); }, ShutdownBound);
        if (outcome == UnoWorker::Outcome::Done)
            m_process->waitForEnd(static_cast<int>(ShutdownBound.count()));
    }
    m_up = false;
    ++m_generation;
    m_process->killGroup();
    m_process.reset();
    if (m_worker->waitIdle(AfterKillBound)) {
        auto session = m_session;
        if (session)
            m_worker->run([session] { session->disconnect(); }, AfterKillBound);
    } else {
        m_worker->abandon();
        m_worker = std::make_unique<UnoWorker>();
        m_session = std::make_shared<OfficeSession>(m_programDir);
    }
}

} // namespace qp
