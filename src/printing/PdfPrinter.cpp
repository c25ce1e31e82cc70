#include "printing/PdfPrinter.h"

#include "core/AppError.h"
#include "printing/ProgramStarter.h"

#include <QFileInfo>

namespace qp {

PdfPrinter::PdfPrinter(ProgramStarter& starter, PdfPrintServer& server, QObject* parent)
    : QObject(parent), m_starter(starter), m_server(server) {
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &PdfPrinter::connectToServer);
    m_server.onServerAppeared([this] { serverAppeared(); });
}

PdfPrinter::~PdfPrinter() {
    // The client may outlive this printer.
    m_server.onServerAppeared(nullptr);
}

PdfPrintServer::Reply PdfPrinter::replyTo(void (PdfPrinter::*step)(std::exception_ptr)) {
    // A reply to an entry given up since is of no interest.
    return [this, step, entry = m_entryNumber](std::exception_ptr failure) {
        if (entry == m_entryNumber)
            (this->*step)(failure);
    };
}

void PdfPrinter::print(const QString& entry, const QString& programPath,
                       const PrintOptions& options, Done done) {
    ++m_entryNumber;
    m_options = options;
    m_done = std::move(done);
    m_programPath = programPath;
    m_programJustStarted = false;
    m_printCommandSent = false;
    // The program does not share this program's working folder: a relative entry names a
    // file from here, as it does for Office entries.
    m_document = QFileInfo(entry).absoluteFilePath();
    try {
        if (!m_programStarted) {
            startProgram();
            m_programStarted = true;
        }
    } catch (...) {
        finish(std::current_exception());
        return;
    }
    // A command that failed left its entry's connection behind.
    m_server.disconnect();
    connectToServer();
}

void PdfPrinter::startProgram() {
    m_starter.start(m_programPath);
    m_programJustStarted = true;
    m_askedAfterEnd = false;
    m_answerDeadline.setRemainingTime(m_startupAnswerWait);
}

void PdfPrinter::connectToServer() {
    m_connecting = true;
    m_server.connect(replyTo(&PdfPrinter::connected));
}

void PdfPrinter::serverAppeared() {
    // An attempt under way may have been answered "nobody" before the name was taken; a new
    // one, made after the news, finds the server, and connecting drops the old one's answer.
    if (!m_connecting && !m_retry.isActive())
        return;
    m_retry.stop();
    connectToServer();
}

void PdfPrinter::connected(std::exception_ptr failure) {
    m_connecting = false;
    if (!failure) {
        m_server.openDocument(m_document, m_commandTimeout, replyTo(&PdfPrinter::opened));
        return;
    }
    if (!failedWith(failure, ErrorNumber::ConversationNoAnswer)) {
        finish(failure);
        return;
    }
    if (m_programJustStarted) {
        // A program that was just started needs a moment before it answers. One that has
        // ended never will, unless it left a server behind (a launcher) or found one already
        // running: one more attempt, made after its end, tells.
        if (m_answerDeadline.hasExpired() || m_askedAfterEnd) {
            finish(failure);
        } else if (m_starter.hasEnded()) {
            m_askedAfterEnd = true;
            connectToServer();
        } else {
            m_retry.start(m_answerRetryPause);
        }
        return;
    }
    // The program leaves after a while without commands, which the Office entries of a long
    // run can outlast: start it again, once, before taking it for missing.
    try {
        startProgram();
    } catch (...) {
        finish(std::current_exception());
        return;
    }
    connectToServer();
}

void PdfPrinter::opened(std::exception_ptr failure) {
    if (failure) {
        finish(failure);
        return;
    }
    m_commandTimeout = CommandTimeout;
    m_printCommandSent = true;
    m_server.printDocument(m_document, m_options, m_commandTimeout,
                           [this, entry = m_entryNumber](std::exception_ptr outcome, SentJob job) {
                               if (entry == m_entryNumber)
                                   printed(outcome, job);
                           });
}

void PdfPrinter::printed(std::exception_ptr failure, const SentJob& job) {
    if (failure) {
        finish(failure);
        return;
    }
    m_server.disconnect();
    finish(nullptr, {job});
}

void PdfPrinter::finish(std::exception_ptr failure, SentJobs jobs) {
    Done done = std::move(m_done);
    m_done = nullptr;
    // Always from the event loop, so that the caller never hears of the entry inside print().
    QMetaObject::invokeMethod(
        this, [done, failure, jobs] { done(failure, jobs); }, Qt::QueuedConnection);
}

void PdfPrinter::abandon() {
    ++m_entryNumber;
    m_retry.stop();
    m_connecting = false;
    m_done = nullptr;
    m_server.disconnect();
}

} // namespace qp
