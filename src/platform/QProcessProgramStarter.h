#pragma once

#include "printing/ProgramStarter.h"

namespace qp {

// Starts a program as a detached process with QProcess: the path is executed directly, with
// no arguments and no shell, so blanks and shell characters in it are part of the name.
// Linux has no window-show mode to pass; the program's window is left to the desktop.
class QProcessProgramStarter : public ProgramStarter {
public:
    // Throws AppError ErrorNumber::ProgramNotStarted when the program cannot be started.
    void start(const QString& program) override;
};

} // namespace qp
