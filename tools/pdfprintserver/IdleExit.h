#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

namespace qp::pdfserver {

// Ends the server once no command has come for a while, or as soon as its session bus is
// gone (a server nobody can reach any more has nothing left to do).
class IdleExit : public QObject {
    Q_OBJECT
public:
    IdleExit(QDBusConnection bus, int idleMilliseconds, QObject* parent = nullptr);

    // Reads QP_PDF_SERVER_IDLE_SECONDS (a positive number, fractions allowed); 300 without it.
    static int idleMillisecondsFromEnvironment();

public Q_SLOTS:
    void restart();

Q_SIGNALS:
    void timeToExit();

private:
    void checkBus();

    QDBusConnection m_bus;
    QTimer m_idle;
    QTimer m_busCheck;
};

} // namespace qp::pdfserver
