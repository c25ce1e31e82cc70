#include "platform/QProcessProgramStarter.h"

#include "core/AppError.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>

namespace qp {

namespace {

[[noreturn]] void cannotStart(const QString& program, const QString& reason) {
    throw AppError(ErrorNumber::ProgramNotStarted,
                   QStringLiteral("The program \"%1\" cannot be started: %2").arg(program, reason));
}

struct ProcessStatus {
    char state = 0; // 0 when there is no such process
    QByteArray startTime;
};

// From /proc/<pid>/stat: "pid (name) state ppid ...", the start time being the 22nd field.
// The name may hold blanks and brackets, so the fields are counted from its last ")".
ProcessStatus processStatus(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20 || fields[0].isEmpty())
        return {};
    return {fields[0].at(0), fields[19]};
}

} // namespace

void QProcessProgramStarter::start(const QString& program) {
    if (program.isEmpty())
        cannotStart(program, QStringLiteral("no program was given."));
    // QProcess looks a bare name up on PATH; a stored path names one file, so only that file
    // may run. Checking first also gives the user a reason instead of a bare failure.
    const QFileInfo file(program);
    if (!file.exists())
        cannotStart(program, QStringLiteral("file not found."));
    if (file.isDir())
        cannotStart(program, QStringLiteral("it is a folder, not a program."));
    if (!file.isExecutable())
        cannotStart(program, QStringLiteral("the file is not executable."));

    // startDetached() gives the program a session of its own and honours these files.
    QProcess process;
    process.setProgram(file.absoluteFilePath());
    process.setArguments({});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        cannotStart(program, process.errorString());
    m_pid = pid;
    m_startTime = processStatus(pid).startTime;
}

bool QProcessProgramStarter::hasEnded() const {
    if (m_pid <= 0)
        return false;
    // Detached, the program is not our child: whoever reaps it may take a while, and until
    // then it lingers as a zombie.
    const ProcessStatus now = processStatus(m_pid);
    return now.state == 0 || now.state == 'Z' || now.state == 'X' || m_startTime.isEmpty() ||
           now.startTime != m_startTime;
}

} // namespace qp
