#pragma once

#include "printing/PdfPrintServer.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>

namespace qp {

class ProgramStarter;

// Prints one PDF entry through the PDF program: starts it once per run, then holds one
// connection to it per entry, over which it opens the document and prints it silently.
// Every step waits for its answer through the event loop; the outcome goes to the caller.
class PdfPrinter : public QObject {
    Q_OBJECT
public:
    // How long a program that was just started gets to begin answering, and how long to
    // wait between two attempts to reach it: a server that takes its name on the bus is
    // reached at once, the pause is for those that never say so.
    static constexpr std::chrono::milliseconds StartupAnswerWait{30000};
    static constexpr std::chrono::milliseconds AnswerRetryPause{250};
    // The time-out of every command after the first open command.
    static constexpr std::chrono::milliseconds CommandTimeout{std::chrono::seconds{2000}};

    // The failure or nullptr, and the job CUPS took.
    using Done = std::function<void(std::exception_ptr failure, SentJobs jobs)>;

    PdfPrinter(ProgramStarter& starter, PdfPrintServer& server, QObject* parent = nullptr);
    ~PdfPrinter() override;

    // A run begins: the program is started again at its first PDF entry.
    void startRun() { m_programStarted = false; }
    // Prints the entry with the program at `programPath`, which must not be empty, as one job
    // with `options`. `done` gets the outcome later, from the event loop.
    void print(const QString& entry, const QString& programPath, const PrintOptions& options,
               Done done);
    // Gives up the entry under way: its outcome never comes.
    void abandon();
    // Whether the entry under way has been sent to be printed, so that only its answer is
    // still missing.
    bool printCommandSent() const { return m_printCommandSent; }

    void setStartupAnswerWait(std::chrono::milliseconds wait) { m_startupAnswerWait = wait; }
    void setAnswerRetryPause(std::chrono::milliseconds pause) { m_answerRetryPause = pause; }

private:
    void connectToServer();
    void connected(std::exception_ptr failure);
    void serverAppeared();
    void opened(std::exception_ptr failure);
    void printed(std::exception_ptr failure, const SentJob& job);
    void startProgram();
    PdfPrintServer::Reply replyTo(void (PdfPrinter::*step)(std::exception_ptr));
    void finish(std::exception_ptr failure, SentJobs jobs = {});

    ProgramStarter& m_starter;
    PdfPrintServer& m_server;
    std::chrono::milliseconds m_startupAnswerWait = StartupAnswerWait;
    std::chrono::milliseconds m_answerRetryPause = AnswerRetryPause;
    QTimer m_retry;
    bool m_programStarted = false;
    // Unset until the first print command: the open command of the first PDF this printer
    // sends runs under the client's own time-out, every later command under CommandTimeout.
    PdfPrintServer::Timeout m_commandTimeout;

    // The entry under way; its number tells its replies from those of entries given up.
    quint64 m_entryNumber = 0;
    QString m_document;
    PrintOptions m_options;
    QString m_programPath;
    Done m_done;
    bool m_programJustStarted = false;
    bool m_printCommandSent = false;
    bool m_askedAfterEnd = false; // the program had ended when the last attempt was made
    bool m_connecting = false;    // from an attempt to reach the server until its answer
    QDeadlineTimer m_answerDeadline;
};

} // namespace qp
