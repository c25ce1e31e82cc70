#include "platform/dbus/DBusPdfPrintServer.h"

#include "core/AppError.h"
#include "platform/dbus/ConversationAddress.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace qp {

namespace {

const QString busService = QStringLiteral("org.freedesktop.DBus");
const QString busPath = QStringLiteral("/org/freedesktop/DBus");
const QString busInterface = QStringLiteral("org.freedesktop.DBus");
constexpr int busQueryMilliseconds = 10000;
// libdbus ends a call at its time-out by itself; this margin only guards against a wait
// that would otherwise never end if that report were lost.
constexpr int guardMarginMilliseconds = 5000;

// Where the server is found, and how the messages name it.
const QString application = QStringLiteral("AcroView");
const QString topic = QStringLiteral("Control");
const QString label = application + QLatin1Char('|') + topic;

// The path goes between the quotes as it is: the server takes the argument apart by position,
// not by looking for the closing quote.
QString quotedArgument(const QString& path) {
    return QLatin1Char('"') + path + QStringLiteral("\")]");
}

QDBusMessage busCall(const QString& method, const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(busService, busPath, busInterface, method);
    call << name;
    return call;
}

} // namespace

DBusPdfPrintServer::DBusPdfPrintServer(QDBusConnection bus) : m_bus(std::move(bus)) {}

void DBusPdfPrintServer::connect() {
    disconnect();
    if (!m_bus.isConnected())
        throw AppError(ErrorNumber::ConversationNoAnswer,
                       QStringLiteral("No application answered %1: there is no D-Bus session "
                                      "bus (%2).")
                           .arg(label, m_bus.lastError().message()));
    const QString service = dbus::conversationAddress(application, topic).service;
    const QDBusMessage reply =
        callAndWait(busCall(QStringLiteral("GetNameOwner"), service), busQueryMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        throw AppError(
            ErrorNumber::ConversationNoAnswer,
            QStringLiteral("No application answered %1 (%2).").arg(label, reply.errorMessage()));
    m_owner = reply.arguments().constFirst().toString();
}

void DBusPdfPrintServer::openDocument(const QString& absolutePath, Timeout timeout) {
    execute(QStringLiteral("[DocOpen(") + quotedArgument(absolutePath), timeout);
}

void DBusPdfPrintServer::printDocument(const QString& absolutePath, Timeout timeout) {
    execute(QStringLiteral("[FilePrintSilent(") + quotedArgument(absolutePath), timeout);
}

void DBusPdfPrintServer::disconnect() {
    m_owner.clear();
}

bool DBusPdfPrintServer::isConnected() const {
    return !m_owner.isEmpty();
}

void DBusPdfPrintServer::execute(const QString& command, Timeout timeout) {
    if (!isConnected())
        throw AppError(NotConnectedError,
                       QStringLiteral("No conversation is open to send %1 on.").arg(command));
    const auto timeoutMilliseconds = static_cast<int>(timeout.value_or(DefaultTimeout).count());

    const dbus::ConversationAddress address = dbus::conversationAddress(application, topic);
    QDBusMessage call = QDBusMessage::createMethodCall(m_owner, address.path, address.interface,
                                                       dbus::executeMethod);
    call << command;
    const QDBusMessage reply = callAndWait(call, timeoutMilliseconds);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return;

    const QString errorName = reply.errorName();
    if (errorName == dbus::refusedErrorName)
        throw AppError(ErrorNumber::ConversationRefused, reply.errorMessage());
    // The run treats it like an Office document that cannot be opened: the user may go on.
    if (errorName == dbus::unusableDocumentErrorName)
        throw AppError(ErrorNumber::CannotBind, reply.errorMessage());

    // The bus reports a time-out and a server that vanished mid-call with the same error, so
    // ask whether the server is still there.
    const bool serverGone = errorName == QDBusError::errorString(QDBusError::ServiceUnknown) ||
                            errorName == QDBusError::errorString(QDBusError::Disconnected) ||
                            !ownerStillConnected();
    if (serverGone)
        throw AppError(ServerQuitError, QStringLiteral("%1 ended before it answered %2 (%3).")
                                            .arg(label, command, reply.errorMessage()));
    if (errorName == QDBusError::errorString(QDBusError::NoReply) ||
        errorName == QDBusError::errorString(QDBusError::Timeout) ||
        errorName == QDBusError::errorString(QDBusError::TimedOut))
        throw AppError(ErrorNumber::ConversationTimeout,
                       QStringLiteral("%1 did not answer %2 within %3 seconds.")
                           .arg(label, command, QString::number(timeoutMilliseconds / 1000.0)));
    // Whoever owns the name does not speak this conversation, or failed in its own way.
    throw AppError(ErrorNumber::ConversationRefused,
                   QStringLiteral("%1 refused %2: %3").arg(label, command, reply.errorMessage()));
}

QDBusMessage DBusPdfPrintServer::callAndWait(const QDBusMessage& call, int timeoutMilliseconds) {
    QDBusPendingCall pending = m_bus.asyncCall(call, timeoutMilliseconds);
    if (!QCoreApplication::instance()) {
        pending.waitForFinished();
        return pending.reply();
    }
    if (!pending.isFinished()) {
        QDBusPendingCallWatcher watcher(pending);
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(timeoutMilliseconds + guardMarginMilliseconds);
        if (!watcher.isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!watcher.isFinished())
            return call.createErrorReply(
                QDBusError::Timeout,
                QStringLiteral("No answer within %1 ms.").arg(timeoutMilliseconds));
    }
    return pending.reply();
}

bool DBusPdfPrintServer::ownerStillConnected() {
    const QDBusMessage reply =
        callAndWait(busCall(QStringLiteral("NameHasOwner"), m_owner), busQueryMilliseconds);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

} // namespace qp
