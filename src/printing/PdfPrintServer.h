#pragma once

#include <QString>
#include <chrono>
#include <optional>

namespace qp {

// The client of the PDF print server: a connection that the PDF printer holds for one entry,
// over which it has the server open a document and print it without asking anything.
// Failures throw AppError:
//  - connect() when no server answers: ErrorNumber::ConversationNoAnswer (282);
//  - a command when the server refuses it: ErrorNumber::ConversationRefused (285) with the
//    server's message, or ErrorNumber::CannotBind when the fault lies in the document; when
//    it does not answer in time: ErrorNumber::ConversationTimeout (286); when the server
//    went away before it answered: ErrorNumber::ConversationServerQuit (291); when there is
//    no connection: ErrorNumber::ConversationNotOpen (294).
class PdfPrintServer {
public:
    // How long a command may take before it fails; unset leaves it to the client's default.
    using Timeout = std::optional<std::chrono::milliseconds>;

    virtual ~PdfPrintServer() = default;

    // Binds to the server that answers now; every command until disconnect() goes to it.
    virtual void connect() = 0;
    virtual void openDocument(const QString& absolutePath, Timeout timeout) = 0;
    // Prints the document opened before, silently, on the default printer.
    virtual void printDocument(const QString& absolutePath, Timeout timeout) = 0;
    // Does nothing without a connection.
    virtual void disconnect() = 0;
};

} // namespace qp
