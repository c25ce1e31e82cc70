#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace qp {

// Error numbers the handlers tell failures apart by. Adapters map their platform's
// failures onto these so that the logic reacts the same way on every platform.
namespace ErrorNumber {
constexpr long CancelError = 32755;        // file dialog cancelled while set to throw on cancel
constexpr long NoDefaultPrinter = 5140;    // no default printer to print on
constexpr long ConversationNoAnswer = 282; // nobody answered when a conversation was opened
constexpr long CannotBind = -2147221020;   // a document cannot be bound from its path
constexpr long ObjectNotFound = 432;       // the other number that means "cannot be bound"
constexpr long NotFileList = 461;          // dropped data holds no list of files
constexpr long FileNotFound = 53;
constexpr long PathNotFound = 76;
constexpr long PermissionDenied = 70;
constexpr long DeviceIOError = 57;
constexpr long ConversationRefused = 285; // the server refused a command
constexpr long ConversationTimeout = 286; // a command did not finish within its time-out
constexpr long ProgramNotStarted = 53;    // the program could not be started (file not found)
constexpr long Overflow = 6;
constexpr long SubscriptOutOfRange = 9;
constexpr long UnexpectedFailure = 51; // a failure that carries no number of its own
constexpr long DiskFull = 61;
constexpr long BadFileName = 64;
constexpr long TooManyFiles = 67;
constexpr long PathFileAccessError = 75;
constexpr long InvalidPropertyValue = 380;
constexpr long ConversationServerQuit = 291; // the server ended before it answered
constexpr long ConversationNotOpen = 294;    // a command without an open conversation
constexpr long MemberNotSupported = 438;
constexpr long AutomationError = 440; // a member call on a bound document failed
constexpr long ListFull = 7;          // the batch list cannot take more entries (out of memory)
} // namespace ErrorNumber

// A failure with the number and description that error handlers test and show.
class AppError : public std::exception {
public:
    AppError(long number, QString description)
        : m_number(number), m_description(std::move(description)),
          m_what(QString::number(m_number).toUtf8() + ' ' + m_description.toUtf8()) {}

    long number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    long m_number;
    QString m_description;
    QByteArray m_what;
};

} // namespace qp
