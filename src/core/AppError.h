#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace qp {

// What went wrong, as the handlers tell failures apart. Adapters map their platform's
// failures onto these so that the logic reacts the same way on every platform. The number a
// user sees for each is kept apart, in userNumber(): users and their notes know the failures
// by those numbers, and some situations share one.
enum class ErrorNumber {
    CancelError,            // file dialog cancelled while set to throw on cancel
    InvalidArgument,        // a value the callee cannot take (a settings name, a line break)
    Overflow,               // a 16-bit counter ran past its end
    OutOfMemory,            // memory ran out
    ListFull,               // the batch list cannot take more entries
    SubscriptOutOfRange,    // a worksheet number outside the workbook
    UnexpectedFailure,      // a failure that carries no number of its own
    FileNotFound,           // a file to read is not there
    ProgramNotStarted,      // a program could not be started
    DeviceIOError,          // the device failed while a file was read or written
    DiskFull,               // no room left for a file
    BadFileName,            // a file name the file system does not take
    TooManyFiles,           // no file handle left
    PermissionDenied,       // the file or folder may not be read or written
    PathFileAccessError,    // a file cannot be reached for another reason
    PathNotFound,           // the folder of a file is not there
    ConversationNoAnswer,   // nobody answered when a conversation was opened
    ConversationRefused,    // the server refused a command
    ConversationTimeout,    // a command did not finish within its time-out
    ConversationServerQuit, // the server ended before it answered
    ConversationNotOpen,    // a command without an open conversation
    MemberNotSupported,     // the document has no such member (a sheet count of a letter)
    AutomationError,        // a member call on a bound document failed
    NoDefaultPrinter,       // no default printer to print on
    CannotBind,             // a document cannot be bound from its path
};

// The number users see for a failure, in messages and on standard error.
constexpr long userNumber(ErrorNumber number) {
    // clang-format off
    switch (number) {
    case ErrorNumber::CancelError: return 32755;
    case ErrorNumber::InvalidArgument: return 5;
    case ErrorNumber::Overflow: return 6;
    case ErrorNumber::OutOfMemory: return 7;
    case ErrorNumber::ListFull: return 7;
    case ErrorNumber::SubscriptOutOfRange: return 9;
    case ErrorNumber::UnexpectedFailure: return 51;
    case ErrorNumber::FileNotFound: return 53;
    case ErrorNumber::ProgramNotStarted: return 53;
    case ErrorNumber::DeviceIOError: return 57;
    case ErrorNumber::DiskFull: return 61;
    case ErrorNumber::BadFileName: return 64;
    case ErrorNumber::TooManyFiles: return 67;
    case ErrorNumber::PermissionDenied: return 70;
    case ErrorNumber::PathFileAccessError: return 75;
    case ErrorNumber::PathNotFound: return 76;
    case ErrorNumber::ConversationNoAnswer: return 282;
    case ErrorNumber::ConversationRefused: return 285;
    case ErrorNumber::ConversationTimeout: return 286;
    case ErrorNumber::ConversationServerQuit: return 291;
    case ErrorNumber::ConversationNotOpen: return 294;
    case ErrorNumber::MemberNotSupported: return 438;
    case ErrorNumber::AutomationError: return 440;
    case ErrorNumber::NoDefaultPrinter: return 5140;
    case ErrorNumber::CannotBind: return -2147221020;
    }
    // clang-format on
    return 0;
}

// A failure with the number and description that error handlers test and show.
class AppError : public std::exception {
public:
    AppError(ErrorNumber number, QString description)
        : m_number(number), m_description(std::move(description)),
          m_what(numberAndDescription().toUtf8()) {}

    ErrorNumber number() const { return m_number; }
    long userNumber() const { return qp::userNumber(m_number); }
    const QString& description() const { return m_description; }
    // The number users see, one blank and the description: how a failure is shown wherever
    // its number is shown on the same line.
    QString numberAndDescription() const {
        return QString::number(userNumber()) + QLatin1Char(' ') + m_description;
    }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    ErrorNumber m_number;
    QString m_description;
    QByteArray m_what;
};

// Whether the failure is an AppError of that number.
inline bool failedWith(const std::exception_ptr& failure, ErrorNumber number) {
    try {
        std::rethrow_exception(failure);
    } catch (const AppError& error) {
        return error.number() == number;
    } catch (...) {
        return false;
    }
}

} // namespace qp
