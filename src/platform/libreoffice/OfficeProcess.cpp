#include "platform/libreoffice/OfficeProcess.h"

#include "core/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace qp {

namespace {

constexpr int StartBoundMs = 30000;
constexpr int KillBoundMs = 5000;

bool hasEnded(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    // "1234 (soffice.bin) Z ..."
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().split(' ').value(2) == "Z";
}

} // namespace

OfficeProcess::OfficeProcess(QString program, QStringList arguments, QString tempDir)
    : m_program(std::move(program)), m_arguments(std::move(arguments)),
      m_tempDir(std::move(tempDir)) {}

OfficeProcess::~OfficeProcess() {
    killGroup();
}

void OfficeProcess::start() {
    if (!QFileInfo(m_program).isExecutable())
        throw AppError(ErrorNumber::ProgramNotStarted,
                       QStringLiteral("LibreOffice was not found at %1.").arg(m_program));

    m_process = std::make_unique<QProcess>();
    m_process->setProgram(m_program);
    m_process->setArguments(m_arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), m_tempDir);
    m_process->setProcessEnvironment(environment);
    // The office must not hold this program's output open: a caller that reads it, such as a
    // shell's $(...), would wait for the office as well. Nobody reads its warnings.
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    const pid_t parent = getpid();
    m_process->setChildProcessModifier([parent] {
        // A session and group of its own, so that killGroup reaches the helpers the office
        // spawns and a terminal's signals do not; and gone with this program, also when it
        // crashes, even if that happened just now.
        setsid();
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
    });
    m_process->start();
    // Once started the child has run the modifier, so its group exists before anyone signals it.
    if (!m_process->waitForStarted(StartBoundMs))
        throw AppError(
            ErrorNumber::ProgramNotStarted,
            QStringLiteral("LibreOffice could not be started: %1").arg(m_process->errorString()));
    m_pid = static_cast<pid_t>(m_process->processId());
    m_running = true;
    m_end.clear();
}

void OfficeProcess::noteEnd() {
    m_running = false;
    if (m_process->exitStatus() == QProcess::NormalExit)
        m_end = QStringLiteral("exit code %1").arg(m_process->exitCode());
    else
        m_end = QStringLiteral("signal %1").arg(m_process->exitCode());
}

bool OfficeProcess::isRunning() {
    if (!m_running)
        return false;
    // An office that has just died may not show in QProcess yet, without an event loop:
    // its zombie does.
    if (m_process->state() == QProcess::NotRunning || m_process->waitForFinished(0) ||
        hasEnded(m_pid)) {
        m_process->waitForFinished(1000); // reaps it, and records how it ended
        noteEnd();
    }
    return m_running;
}

bool OfficeProcess::waitForEnd(int timeoutMs) {
    if (isRunning() && m_process->waitForFinished(timeoutMs))
        noteEnd();
    return !m_running;
}

void OfficeProcess::killGroup() {
    if (m_pid <= 0)
        return;
    // The group may hold helpers even after the leader has gone.
    ::kill(-m_pid, SIGKILL);
    // A killed process ends at once; the bound only keeps a stuck kernel from hanging us.
    if (m_running && m_process->waitForFinished(KillBoundMs))
        noteEnd();
    m_running = false;
    m_pid = 0;
}

} // namespace qp
