#pragma once

#include "core/AppError.h"
#include "printing/Conversation.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

namespace qp {

// A conversation held over the D-Bus session bus with a server that owns the bus name of
// an application and topic (see ConversationAddress.h). open() binds to the name's current
// owner, so every command of one conversation reaches the same server process. Commands
// are asynchronous calls waited for in a local event loop that takes no user input: the
// window keeps repainting while a command is under way, but nothing the user does runs.
class DBusConversation : public Conversation {
public:
    // The server went away (ended, crashed, was killed) before it answered a command.
    static constexpr long ServerQuitError = ErrorNumber::ConversationServerQuit;
    // execute() without an open conversation.
    static constexpr long NotOpenError = ErrorNumber::ConversationNotOpen;
    // The time-out of a command sent with the client's default (timeoutTenths < 0).
    static constexpr int defaultTimeoutTenths = 600;

    explicit DBusConversation(QDBusConnection bus = QDBusConnection::sessionBus());

    void open(const QString& application, const QString& topic, const QString& item) override;
    void execute(const QString& command, int timeoutTenths) override;
    void close() override;
    bool isOpen() const override;

private:
    QDBusMessage callAndWait(const QDBusMessage& call, int timeoutMilliseconds);
    bool ownerStillConnected();

    QDBusConnection m_bus;
    QString m_label; // "application|topic", for messages
    QString m_owner; // the unique name bound to; empty while closed
    QString m_path;
    QString m_interface;
};

} // namespace qp
