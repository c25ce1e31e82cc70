#pragma once

#include "core/AppError.h"
#include "printing/PdfPrintServer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

namespace qp {

// The PDF print server reached over the D-Bus session bus, where it owns the name of the
// conversation "AcroView|Control" (see ConversationAddress.h). connect() binds to the name's
// current owner, so every command of one connection reaches the same server process. Each
// command is one Execute call carrying "[DocOpen(\"<path>\")]" or
// "[FilePrintSilent(\"<path>\")]", the path unescaped. Calls are asynchronous and waited for
// in a local event loop that takes no user input: the window keeps repainting while a command
// is under way, but nothing the user does runs.
class DBusPdfPrintServer : public PdfPrintServer {
public:
    // The server went away (ended, crashed, was killed) before it answered a command.
    static constexpr ErrorNumber ServerQuitError = ErrorNumber::ConversationServerQuit;
    // A command without a connection.
    static constexpr ErrorNumber NotConnectedError = ErrorNumber::ConversationNotOpen;
    // The time-out of a command sent without one of its own.
    static constexpr std::chrono::milliseconds DefaultTimeout{60000};

    explicit DBusPdfPrintServer(QDBusConnection bus = QDBusConnection::sessionBus());

    // Ends the connection there is first.
    void connect() override;
    void openDocument(const QString& absolutePath, Timeout timeout) override;
    void printDocument(const QString& absolutePath, Timeout timeout) override;
    void disconnect() override;
    bool isConnected() const;

private:
    void execute(const QString& command, Timeout timeout);
    QDBusMessage callAndWait(const QDBusMessage& call, int timeoutMilliseconds);
    bool ownerStillConnected();

    QDBusConnection m_bus;
    QString m_owner; // the unique name bound to; empty without a connection
};

} // namespace qp
