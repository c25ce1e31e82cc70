#pragma once

#include <QString>
#include <stdexcept>

namespace qp::pdfserver {

// The server will not carry out a command; the message goes back to the client as the
// description of its failure, so it is written for the user who will read it. A refusal
// that lies in the document (missing, damaged, locked) lets the client go on with its
// other documents; one for want of a default printer, or any other, means the server cannot
// print at all.
class CommandRefused : public std::runtime_error {
public:
    enum class Cause { Server, Document, NoDefaultPrinter };

    explicit CommandRefused(const QString& message, Cause cause = Cause::Server)
        : std::runtime_error(message.toStdString()), m_message(message), m_cause(cause) {}
    const QString& message() const { return m_message; }
    Cause cause() const { return m_cause; }

private:
    QString m_message;
    Cause m_cause;
};

} // namespace qp::pdfserver
