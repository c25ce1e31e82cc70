#include "platform/dbus/DBusConversation.h"

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

QDBusMessage busCall(const QString& method, const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(busService, busPath, busInterface, method);
    call << name;
    return call;
}

} // namespace

DBusConversation::DBusConversation(QDBusConnection bus) : m_bus(std::move(bus)) {}

void DBusConversation::open(const QString& application, const QString& topic, const QString&) {
    close();
    const QString label = application + QLatin1Char('|') + topic;
    if (!m_bus.isConnected())
        throw AppError(ErrorNumber::ConversationNoAnswer,
                       QStringLiteral("No application answered %1: there is no D-Bus session "
                                      "bus (%2).")
                           .arg(label, m_bus.lastError().message()));
    const dbus::ConversationAddress address = dbus::conversationAddress(application, topic);
    const QDBusMessage reply =
        callAndWait(busCall(QStringLiteral("GetNameOwner"), address.service), busQueryMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        throw AppError(
            ErrorNumber::ConversationNoAnswer,
            QStringLiteral("No application answered %1 (%2).").arg(label, reply.errorMessage()));
    m_owner = reply.arguments().constFirst().toString();
    m_label = label;
    m_path = address.path;
    m_interface = address.interface;
}

void DBusConversation::execute(const QString& command, int timeoutTenths) {
    if (!isOpen())
        throw AppError(NotOpenError,
                       QStringLiteral("No conversation is open to send %1 on.").arg(command));
    const int tenths = timeoutTenths < 0 ? defaultTimeoutTenths : timeoutTenths;
    const int timeoutMilliseconds = tenths * 100;

    QDBusMessage call =
        QDBusMessage::createMethodCall(m_owner, m_path, m_interface, dbus::executeMethod);
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
                                            .arg(m_label, command, reply.errorMessage()));
    if (errorName == QDBusError::errorString(QDBusError::NoReply) ||
        errorName == QDBusError::errorString(QDBusError::Timeout) ||
        errorName == QDBusError::errorString(QDBusError::TimedOut))
        throw AppError(ErrorNumber::ConversationTimeout,
                       QStringLiteral("%1 did not answer %2 within %3 seconds.")
                           .arg(m_label, command, QString::number(tenths / 10.0)));
    // Whoever owns the name does not speak this conversation, or failed in its own way.
    throw AppError(ErrorNumber::ConversationRefused,
                   QStringLiteral("%1 refused %2: %3").arg(m_label, command, reply.errorMessage()));
}

void DBusConversation::close() {
    m_owner.clear();
    m_label.clear();
    m_path.clear();
    m_interface.clear();
}

bool DBusConversation::isOpen() const {
    return !m_owner.isEmpty();
}

QDBusMessage DBusConversation::callAndWait(const QDBusMessage& call, int timeoutMilliseconds) {
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

bool DBusConversation::ownerStillConnected() {
    const QDBusMessage reply =
        callAndWait(busCall(QStringLiteral("NameHasOwner"), m_owner), busQueryMilliseconds);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

} // namespace qp
