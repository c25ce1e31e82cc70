#pragma once

#include <QString>
#include <chrono>

namespace qp {

class BatchRunView;
class LinkTextBox;
class ProgramStarter;
class Prompter;
class WaitClock;

// Prints one PDF entry through the PDF program: starts it once per run, then holds one
// conversation per entry on "AcroView|Control" that opens the document and prints it
// silently. Failures are left to the caller.
class AcrobatPrinter {
public:
    // How long a program that was just started gets to begin answering, and how long to
    // sleep between two attempts to reach it.
    static constexpr std::chrono::milliseconds StartupAnswerWait{30000};
    static constexpr std::chrono::milliseconds AnswerRetryPause{250};
    // The time-out of every command after the first open command, in tenths of a second.
    static constexpr int CommandTimeoutTenths = 20000;

    AcrobatPrinter(BatchRunView& view, Prompter& prompter, ProgramStarter& starter,
                   LinkTextBox& link, WaitClock& clock)
        : m_view(view), m_prompter(prompter), m_starter(starter), m_link(link), m_clock(clock) {}

    // acrobatStarted belongs to the run: false at its start, set here once the program was
    // started. An empty acrobatPath is no failure: the user is told the entry cannot be
    // printed and the end of the run will not offer to save the batch.
    void print(const QString& entry, const QString& acrobatPath, bool& acrobatStarted);

private:
    void openConversation(bool programJustStarted);

    BatchRunView& m_view;
    Prompter& m_prompter;
    ProgramStarter& m_starter;
    LinkTextBox& m_link;
    WaitClock& m_clock;
};

} // namespace qp
