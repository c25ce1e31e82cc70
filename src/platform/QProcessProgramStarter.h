#pragma once

#include "printing/ProgramStarter.h"

#include <QByteArray>

namespace qp {

// Starts a program as a detached process with QProcess: the path is executed directly, with
// no arguments and no shell, so blanks and shell characters in it are part of the name.
// The program gets a session of its own (it outlives a terminal that closes) and the null
// device for its standard streams, so that it never holds a caller's pipe open: a script's
// $(...) or a cron job ends when this program ends. Linux has no window-show mode to pass;
// the program's window is left to the desktop.
class QProcessProgramStarter : public ProgramStarter {
public:
    // Throws AppError ErrorNumber::ProgramNotStarted when the program cannot be started.
    void start(const QString& program) override;
    bool hasEnded() const override;

private:
    qint64 m_pid = 0;
    // When the process began, as /proc has it: a later process under the same number is
    // another program.
    QByteArray m_startTime;
};

} // namespace qp
