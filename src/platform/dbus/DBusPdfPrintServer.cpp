#include "platform/dbus/DBusPdfPrintServer.h"

#include "core/AppError.h"
#include "pdfprintserverproxy.h"
#include "platform/dbus/PdfServerBus.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QTimer>

namespace qp {

namespace {

const QString busService = QStringLiteral("org.freedesktop.DBus");
const QString busPath = QStringLiteral("/org/freedesktop/DBus");
const QString busInterface = QStringLiteral("org.freedesktop.DBus");
constexpr int busQueryMilliseconds = 10000;

std::exception_ptr failure(ErrorNumber number, const QString& description) {
    return std::make_exception_ptr(AppError(number, description));
}

bool isError(const QDBusMessage& answer, QDBusError::ErrorType type) {
    return answer.errorName() == QDBusError::errorString(type);
}

} // namespace

DBusPdfPrintServer::DBusPdfPrintServer(QDBusConnection bus)
    : m_bus(std::move(bus)), m_connection(std::make_shared<const char>()) {
    if (!m_bus.isConnected())
        return;
    m_watcher = std::make_unique<QDBusServiceWatcher>(dbus::pdfServerName, m_bus,
                                                      QDBusServiceWatcher::WatchForRegistration);
    QObject::connect(m_watcher.get(), &QDBusServiceWatcher::serviceRegistered, m_watcher.get(),
                     [this] {
                         if (m_appeared)
                             m_appeared();
                     });
}

DBusPdfPrintServer::~DBusPdfPrintServer() = default;

void DBusPdfPrintServer::connect(Reply reply) {
    disconnect();
    if (!m_bus.isConnected()) {
        later(reply, ErrorNumber::ConversationNoAnswer,
              QStringLiteral("No PDF print server answers: there is no D-Bus session bus (%1).")
                  .arg(m_bus.lastError().message()));
        return;
    }
    whenAnswered(
        askBus(QStringLiteral("GetNameOwner"), dbus::pdfServerName),
        [this, reply](const QDBusMessage& answer) {
            if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
                reply(failure(ErrorNumber::ConversationNoAnswer,
                              QStringLiteral("No PDF print server answers on the session bus (%1).")
                                  .arg(answer.errorMessage())));
                return;
            }
            // A unique name: the proxy asks the bus nothing more.
            m_server = std::make_unique<PdfPrintServerProxy>(
                answer.arguments().constFirst().toString(), dbus::pdfServerPath, m_bus);
            reply(nullptr);
        });
}

void DBusPdfPrintServer::openDocument(const QString& absolutePath, Timeout timeout, Reply reply) {
    const QString call = QStringLiteral("OpenDocument(%1)").arg(absolutePath);
    if (const std::optional<int> milliseconds = prepareCommand(call, timeout, reply))
        command(call, m_server->OpenDocument(absolutePath), *milliseconds, std::move(reply));
}

void DBusPdfPrintServer::printDocument(const QString& absolutePath, const PrintOptions& options,
                                       Timeout timeout, PrintReply reply) {
    const QString call = QStringLiteral("PrintDocument(%1)").arg(absolutePath);
    const Reply failed = [reply](std::exception_ptr failure) { reply(failure, {}); };
    const QString destination = options.destination;
    if (const std::optional<int> milliseconds = prepareCommand(call, timeout, failed))
        command(
            call, m_server->PrintDocument(absolutePath, destination, options.cupsOptions()),
            *milliseconds,
            [reply, destination](const QDBusMessage& answer) {
                const QList<QVariant> values = answer.arguments();
                reply(nullptr, {values.value(0).toInt(), destination, 0, values.value(1).toInt(),
                                QDateTime::currentDateTimeUtc()});
            },
            failed);
}

void DBusPdfPrintServer::disconnect() {
    m_server.reset();
    m_connection = std::make_shared<const char>();
}

void DBusPdfPrintServer::onServerAppeared(std::function<void()> appeared) {
    m_appeared = std::move(appeared);
}

std::optional<int> DBusPdfPrintServer::prepareCommand(const QString& call, Timeout timeout,
                                                      const Reply& reply) {
    if (!m_server) {
        later(reply, ErrorNumber::ConversationNotOpen,
              QStringLiteral("No PDF print server is connected to send %1 to.").arg(call));
        return std::nullopt;
    }
    const int milliseconds = static_cast<int>(timeout.value_or(DefaultTimeout).count());
    m_server->setTimeout(milliseconds);
    return milliseconds;
}

void DBusPdfPrintServer::command(const QString& call, const QDBusPendingCall& pending,
                                 int milliseconds, Reply reply) {
    command(
        call, pending, milliseconds, [reply](const QDBusMessage&) { reply(nullptr); }, reply);
}

void DBusPdfPrintServer::command(const QString& call, const QDBusPendingCall& pending,
                                 int milliseconds, Answer answered, Reply failed) {
    whenAnswered(pending, [this, call, milliseconds, answered, failed](const QDBusMessage& answer) {
        if (answer.type() == QDBusMessage::ReplyMessage)
            answered(answer);
        else
            failCommand(answer, call, milliseconds, failed);
    });
}

void DBusPdfPrintServer::failCommand(const QDBusMessage& answer, const QString& call,
                                     int timeoutMilliseconds, const Reply& reply) {
    const QString name = answer.errorName();
    // What lies in the document lets the run go on, as with an Office document that cannot
    // be opened.
    if (name == dbus::unusableDocumentError)
        return reply(failure(ErrorNumber::CannotBind, answer.errorMessage()));
    if (name == dbus::noDefaultPrinterError)
        return reply(failure(ErrorNumber::NoDefaultPrinter, answer.errorMessage()));
    if (name == dbus::serverFailedError)
        return reply(failure(ErrorNumber::ConversationRefused, answer.errorMessage()));
    const QString server = m_server->service();
    const auto quit = [call, answer] {
        return failure(ErrorNumber::ConversationServerQuit,
                       QStringLiteral("The PDF print server ended before it answered %1 (%2).")
                           .arg(call, answer.errorMessage()));
    };
    if (isError(answer, QDBusError::ServiceUnknown) || isError(answer, QDBusError::Disconnected) ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return reply(quit());
    if (!isError(answer, QDBusError::NoReply) && !isError(answer, QDBusError::Timeout) &&
        !isError(answer, QDBusError::TimedOut))
        // Whoever owns the name does not speak the server's interface.
        return reply(failure(ErrorNumber::ConversationRefused,
                             QStringLiteral("The PDF print server refused %1: %2")
                                 .arg(call, answer.errorMessage())));
    // The bus says "no reply" both when the time ran out and when the server left before it
    // answered; only the bus knows which.
    whenAnswered(askBus(QStringLiteral("NameHasOwner"), server),
                 [call, timeoutMilliseconds, reply, quit](const QDBusMessage& owner) {
                     const bool stillThere = owner.type() == QDBusMessage::ReplyMessage &&
                                             !owner.arguments().isEmpty() &&
                                             owner.arguments().constFirst().toBool();
                     if (!stillThere)
                         return reply(quit());
                     reply(failure(ErrorNumber::ConversationTimeout,
                                   QStringLiteral("The PDF print server did not answer %1 within "
                                                  "%2 seconds.")
                                       .arg(call, QString::number(timeoutMilliseconds / 1000.0))));
                 });
}

void DBusPdfPrintServer::whenAnswered(const QDBusPendingCall& call, Answer answer) {
    // Not a child of this client: a watcher must outlive the client that made its call, so
    // that it is never destroyed while it signals.
    auto* watcher = new QDBusPendingCallWatcher(call);
    const std::weak_ptr<const char> connection = m_connection;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [connection, answer = std::move(answer)](QDBusPendingCallWatcher* done) {
                         done->deleteLater();
                         if (!connection.expired())
                             answer(done->reply());
                     });
}

void DBusPdfPrintServer::later(const Reply& reply, ErrorNumber number, const QString& description) {
    const std::weak_ptr<const char> connection = m_connection;
    QTimer::singleShot(0, [connection, reply, error = failure(number, description)] {
        if (!connection.expired())
            reply(error);
    });
}

QDBusPendingCall DBusPdfPrintServer::askBus(const QString& method, const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(busService, busPath, busInterface, method);
    call << name;
    return m_bus.asyncCall(call, busQueryMilliseconds);
}

} // namespace qp
