#include "IdleExit.h"

#include <QtGlobal>

namespace qp::pdfserver {

namespace {
constexpr int defaultIdleMilliseconds = 5 * 60 * 1000;
constexpr int busCheckMilliseconds = 2000;
} // namespace

IdleExit::IdleExit(QDBusConnection bus, int idleMilliseconds, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    m_idle.setSingleShot(true);
    m_idle.setInterval(idleMilliseconds);
    connect(&m_idle, &QTimer::timeout, this, &IdleExit::timeToExit);
    m_idle.start();
    m_busCheck.setInterval(busCheckMilliseconds);
    connect(&m_busCheck, &QTimer::timeout, this, &IdleExit::checkBus);
    m_busCheck.start();
}

int IdleExit::idleMillisecondsFromEnvironment() {
    bool ok = false;
    const double seconds = qEnvironmentVariable("QP_PDF_SERVER_IDLE_SECONDS").toDouble(&ok);
    if (!ok || seconds <= 0 || seconds > 24 * 3600)
        return defaultIdleMilliseconds;
    return static_cast<int>(seconds * 1000);
}

void IdleExit::restart() {
    m_idle.start();
}

void IdleExit::checkBus() {
    if (!m_bus.isConnected())
        Q_EMIT timeToExit();
}

} // namespace qp::pdfserver
