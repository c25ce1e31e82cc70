#pragma once

#include <QString>

namespace qp {

// Starts a program as a new process, minimized and with the focus where the platform has
// such a thing. The path is the program itself: it is never handed to a shell. A program
// that cannot be started throws AppError; the process is never waited for.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    virtual void start(const QString& program) = 0;
};

} // namespace qp
