#pragma once

#include "printing/PdfPrintServer.h"

#include <QString>
#include <chrono>

namespace qp {

class BatchRunView;
class ProgramStarter;
class Prompter;
class WaitClock;

// Prints one PDF entry through the PDF program: starts it once per run, then holds one
// connection to it per entry, over which it opens the document and prints it silently.
// Failures are left to the caller.
class PdfPrinter {
public:
    // How long a program that was just started gets to begin answering, and how long to
    // sleep between two attempts to reach it.
    static constexpr std::chrono::milliseconds StartupAnswerWait{30000};
    static constexpr std::chrono::milliseconds AnswerRetryPause{250};
    // The time-out of every command after the first open command.
    static constexpr std::chrono::milliseconds CommandTimeout{std::chrono::seconds{2000}};

    PdfPrinter(BatchRunView& view, Prompter& prompter, ProgramStarter& starter,
                   PdfPrintServer& server, WaitClock& clock)
        : m_view(view), m_prompter(prompter), m_starter(starter), m_server(server), m_clock(clock) {
    }

    // acrobatStarted belongs to the run: false at its start, set here once the program was
    // started. An empty acrobatPath is no failure: the user is told the entry cannot be
    // printed and the end of the run will not offer to save the batch.
    void print(const QString& entry, const QString& acrobatPath, bool& acrobatStarted);

private:
    void connectToServer(bool programJustStarted);

    BatchRunView& m_view;
    Prompter& m_prompter;
    ProgramStarter& m_starter;
    PdfPrintServer& m_server;
    WaitClock& m_clock;
    // Unset until the first print command: the open command of the first PDF this printer
    // sends runs under the client's own time-out, every later command under CommandTimeout.
    PdfPrintServer::Timeout m_commandTimeout;
};

} // namespace qp
