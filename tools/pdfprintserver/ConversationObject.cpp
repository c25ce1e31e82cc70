#include "ConversationObject.h"

#include "CommandRefused.h"
#include "ConversationHandler.h"
#include "platform/dbus/ConversationAddress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMetaObject>

namespace qp::pdfserver {

ConversationObject::ConversationObject(ConversationHandler& handler, QObject* parent)
    : QDBusVirtualObject(parent), m_handler(handler) {}

QString ConversationObject::introspect(const QString&) const {
    return QStringLiteral("<interface name=\"%1\">"
                          "<method name=\"%2\"><arg name=\"command\" type=\"s\" "
                          "direction=\"in\"/></method>"
                          "</interface>")
        .arg(dbus::conversationInterface, dbus::executeMethod);
}

bool ConversationObject::handleMessage(const QDBusMessage& message,
                                       const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    // QtDBus may call this on its own thread; printing belongs on the main thread, and a
    // queue keeps the commands in the order they arrived.
    QMetaObject::invokeMethod(
        this, [this, message, connection] { answer(message, connection); }, Qt::QueuedConnection);
    return true;
}

void ConversationObject::answer(const QDBusMessage& message, QDBusConnection connection) {
    static const QString introspectable = QStringLiteral("org.freedesktop.DBus.Introspectable");
    if (message.interface() == introspectable && message.member() == QLatin1String("Introspect")) {
        connection.send(message.createReply(
            QStringLiteral("<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection "
                           "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                           "introspect.dtd\">\n<node><interface name=\"%1\"><method "
                           "name=\"Introspect\"><arg name=\"xml\" type=\"s\" "
                           "direction=\"out\"/></method></interface>%2</node>\n")
                .arg(introspectable, introspect(message.path()))));
        return;
    }
    const bool ourInterface =
        message.interface().isEmpty() || message.interface() == dbus::conversationInterface;
    if (!ourInterface || message.member() != dbus::executeMethod || message.signature() != "s") {
        connection.send(message.createErrorReply(
            QDBusError::UnknownMethod,
            QStringLiteral("The PDF print server has no method %1.%2(%3); it offers %4.%5(s).")
                .arg(message.interface(), message.member(), message.signature(),
                     dbus::conversationInterface, dbus::executeMethod)));
        return;
    }
    const QString command = message.arguments().constFirst().toString();
    try {
        m_handler.execute(command);
        connection.send(message.createReply());
    } catch (const CommandRefused& refusal) {
        connection.send(message.createErrorReply(refusal.cause() == CommandRefused::Cause::Document
                                                     ? dbus::unusableDocumentErrorName
                                                     : dbus::refusedErrorName,
                                                 refusal.message()));
    } catch (const std::exception& failure) {
        connection.send(message.createErrorReply(
            dbus::refusedErrorName, QStringLiteral("The PDF print server failed on %1: %2")
                                        .arg(command, QString::fromLocal8Bit(failure.what()))));
    }
    Q_EMIT commandAnswered();
}

} // namespace qp::pdfserver
