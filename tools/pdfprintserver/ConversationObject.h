#pragma once

#include <QDBusVirtualObject>
#include <QString>

namespace qp::pdfserver {

class ConversationHandler;

// The object on the bus: takes Execute(s) calls on the conversation interface, has the
// handler carry them out one after the other on the main thread, and answers each with an
// empty reply or with the refusal as a D-Bus error.
class ConversationObject : public QDBusVirtualObject {
    Q_OBJECT
public:
    explicit ConversationObject(ConversationHandler& handler, QObject* parent = nullptr);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

Q_SIGNALS:
    // A command has been answered; the server counts its idle time from here.
    void commandAnswered();

private:
    void answer(const QDBusMessage& message, QDBusConnection connection);

    ConversationHandler& m_handler;
};

} // namespace qp::pdfserver
