#include "platform/QProcessProgramStarter.h"

#include "core/AppError.h"

#include <QFileInfo>
#include <QProcess>

namespace qp {

namespace {

[[noreturn]] void cannotStart(const QString& program, const QString& reason) {
    throw AppError(ErrorNumber::ProgramNotStarted,
                   QStringLiteral("The program \"%1\" cannot be started: %2").arg(program, reason));
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

    QProcess process;
    process.setProgram(file.absoluteFilePath());
    process.setArguments({});
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        cannotStart(program, process.errorString());
}

} // namespace qp
