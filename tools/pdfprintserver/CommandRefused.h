#pragma once

#include <QString>
#include <stdexcept>

namespace qp::pdfserver {

// The server will not carry out a command; the message goes back to the client as the
// description of its failure, so it is written for the user who will read it.
class CommandRefused : public std::runtime_error {
public:
    explicit CommandRefused(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

} // namespace qp::pdfserver
