#pragma once

#include <QString>

namespace qp {

// A client conversation with a server application on a topic (DDE on Windows, the
// session bus on Linux). Failures throw AppError:
//  - open() when nobody answers: ErrorNumber::ConversationNoAnswer (282);
//  - execute() when the server refuses the command: ErrorNumber::ConversationRefused, the
//    server's message as description, or ErrorNumber::CannotBind when the fault lies in
//    the document the command names; when it does not answer within the time-out:
//    ErrorNumber::ConversationTimeout.
class Conversation {
public:
    virtual ~Conversation() = default;
    virtual void open(const QString& application, const QString& topic, const QString& item) = 0;
    // timeoutTenths < 0 means the client's own default time-out.
    virtual void execute(const QString& command, int timeoutTenths) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

} // namespace qp
