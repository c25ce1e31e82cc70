#include "platform/libreoffice/OfficeProcess.h"

#include "core/AppError.h"

#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qp {

OfficeProcess::OfficeProcess(QString program, QStringList arguments)
    : m_program(std::move(program)), m_arguments(std::move(arguments)) {}

OfficeProcess::~OfficeProcess() {
    killGroup();
}

void OfficeProcess::start() {
    if (!QFileInfo(m_program).isExecutable())
        throw AppError(ErrorNumber::ProgramNotStarted,
                       QStringLiteral("LibreOffice was not found at %1.").arg(m_program));

    // Everything the child needs is prepared before fork: after it only exec-safe calls.
    std::vector<std::string> storage;
    storage.push_back(m_program.toStdString());
    for (const QString& argument : m_arguments)
        storage.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0)
        throw AppError(ErrorNumber::ProgramNotStarted,
                       QStringLiteral("LibreOffice could not be started: %1")
                           .arg(QString::fromLocal8Bit(strerror(errno))));
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    // Set it from this side too, so that the group exists before anyone signals it.
    setpgid(pid, pid);
    m_pid = pid;
    m_running = true;
    m_end.clear();
}

void OfficeProcess::reap(int status) {
    m_running = false;
    if (WIFEXITED(status))
        m_end = QStringLiteral("exit code %1").arg(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        m_end = QStringLiteral("signal %1").arg(WTERMSIG(status));
}

bool OfficeProcess::isRunning() {
    if (!m_running)
        return false;
    int status = 0;
    const pid_t result = waitpid(m_pid, &status, WNOHANG);
    if (result == m_pid)
        reap(status);
    else if (result < 0 && errno == ECHILD)
        m_running = false;
    return m_running;
}

bool OfficeProcess::waitForEnd(int timeoutMs) {
    for (int waited = 0; isRunning(); waited += 20) {
        if (waited >= timeoutMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

void OfficeProcess::killGroup() {
    if (m_pid <= 0)
        return;
    // The group may hold helpers even after the leader has gone.
    ::kill(-m_pid, SIGKILL);
    if (m_running) {
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        reap(status);
    }
    m_pid = 0;
}

} // namespace qp
