#pragma once

#include "printing/PrintOptions.h"
#include "printing/SentJob.h"

#include <QString>
#include <chrono>
#include <exception>
#include <functional>
#include <optional>

namespace qp {

// The client of the PDF print server: a connection that the PDF printer holds for one entry,
// over which it has the server open a document and print it without asking anything.
// Every call returns at once; its reply comes later, from the event loop and never inside the
// call, as nullptr for success or an AppError:
//  - connect(): ErrorNumber::ConversationNoAnswer (282) when no server answers;
//  - a command: ErrorNumber::CannotBind when the fault lies in the document (damaged,
//    password-protected, printing forbidden), ErrorNumber::NoDefaultPrinter when the server
//    has no default printer to print on, ErrorNumber::ConversationRefused (285) with the
//    server's message for any other refusal, ErrorNumber::ConversationTimeout (286) when it
//    does not answer in time, ErrorNumber::ConversationServerQuit (291) when the server went
//    away before it answered, ErrorNumber::ConversationNotOpen (294) without a connection.
// A reply whose caller has gone is dropped: destroying the client cancels what is pending.
class PdfPrintServer {
public:
    // How long a command may take before it fails; unset leaves it to the client's default.
    using Timeout = std::optional<std::chrono::milliseconds>;
    using Reply = std::function<void(std::exception_ptr failure)>;
    // A print command's reply: on success, the job CUPS took (id, destination and pages).
    using PrintReply = std::function<void(std::exception_ptr failure, SentJob job)>;

    virtual ~PdfPrintServer() = default;

    // Binds to the server that answers now; every command until disconnect() goes to it.
    virtual void connect(Reply reply) = 0;
    virtual void openDocument(const QString& absolutePath, Timeout timeout, Reply reply) = 0;
    // Prints the document opened before, silently, as one job on the options' destination,
    // which must be named: the server never chooses one of its own.
    virtual void printDocument(const QString& absolutePath, const PrintOptions& options,
                               Timeout timeout, PrintReply reply) = 0;
    // Does nothing without a connection; a reply still pending is dropped.
    virtual void disconnect() = 0;
    // Calls appeared, from the event loop, each time a server takes its place, so that a
    // caller waiting for a server that was just started may connect at once. A client whose
    // server is there from the start has nothing to tell.
    virtual void onServerAppeared(std::function<void()> /*appeared*/) {}
};

} // namespace qp
