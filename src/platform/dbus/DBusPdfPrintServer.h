#pragma once

#include "core/AppError.h"
#include "printing/PdfPrintServer.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QString>
#include <memory>

class PdfPrintServerProxy;
class QDBusServiceWatcher;

namespace qp {

// The PDF print server reached over the D-Bus session bus through the proxy generated from
// its interface (PdfServerBus.h, org.quirepress.PdfPrintServer.xml). connect() asks the bus
// who owns the server's name and binds to that unique name, so every command of one
// connection reaches the same server process, or none. Nothing here waits: each call hands
// its reply to the event loop, and a reply for a connection that has been ended since, or
// for a client that is gone, is dropped. The bus tells the client when a server takes the
// name, so a server that was just started is reached the moment it serves.
class DBusPdfPrintServer : public PdfPrintServer {
public:
    // The time-out of a command sent without one of its own.
    static constexpr std::chrono::milliseconds DefaultTimeout{60000};

    explicit DBusPdfPrintServer(QDBusConnection bus = QDBusConnection::sessionBus());
    ~DBusPdfPrintServer() override;

    // Ends the connection there is first.
    void connect(Reply reply) override;
    void openDocument(const QString& absolutePath, Timeout timeout, Reply reply) override;
    void printDocument(const QString& absolutePath, const PrintOptions& options, Timeout timeout,
                       PrintReply reply) override;
    void disconnect() override;
    void onServerAppeared(std::function<void()> appeared) override;

private:
    using Answer = std::function<void(const QDBusMessage& reply)>;

    void command(const QString& call, const QDBusPendingCall& pending, int milliseconds,
                 Reply reply);
    void command(const QString& call, const QDBusPendingCall& pending, int milliseconds,
                 Answer answered, Reply failed);
    // The time-out set on the proxy, or nothing (and the failure on its way) without one.
    std::optional<int> prepareCommand(const QString& call, Timeout timeout, const Reply& reply);
    void failCommand(const QDBusMessage& answer, const QString& call, int timeoutMilliseconds,
                     const Reply& reply);
    // Runs answer with the call's reply, from the event loop, unless the connection it was
    // made on has ended by then.
    void whenAnswered(const QDBusPendingCall& call, Answer answer);
    // Hands the failure to reply from the event loop, unless the connection has ended by then.
    void later(const Reply& reply, ErrorNumber number, const QString& description);
    QDBusPendingCall askBus(const QString& method, const QString& name);

    QDBusConnection m_bus;
    std::unique_ptr<PdfPrintServerProxy> m_server; // bound to the owner; none without connection
    // Set up with the client, so that a name taken while a run waits for its server is
    // never missed.
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
    std::function<void()> m_appeared;
    // Replaced whenever a connection ends: what waits on an earlier one sees it has gone.
    std::shared_ptr<const char> m_connection;
};

} // namespace qp
