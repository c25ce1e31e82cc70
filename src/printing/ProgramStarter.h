#pragma once

#include <QString>

namespace qp {

// Starts a program as a new process of its own (its own session, standard streams on the null
// device), which may outlive this one. The path is the program itself: it is never handed to
// a shell. A program that cannot be started throws AppError; the start never waits for the
// program to get ready.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    virtual void start(const QString& program) = 0;
    // Whether the program started last has ended since, so that waiting for it to answer is
    // pointless. False before any start.
    virtual bool hasEnded() const = 0;
};

} // namespace qp
