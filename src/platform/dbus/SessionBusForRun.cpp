#include "platform/dbus/SessionBusForRun.h"

#include "platform/dbus/PdfServerBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cctype>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace qp {

namespace {

constexpr int startMilliseconds = 10000;
constexpr int endMilliseconds = 5000;
const char addressVariable[] = "DBUS_SESSION_BUS_ADDRESS";

// A D-Bus address value: bytes other than these are written as %XX.
QByteArray escapedAddressValue(const QString& text) {
    static const QByteArray plain("-_/.\\*");
    QByteArray out;
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || plain.contains(c))
            out += c;
        else
            out += '%' + QByteArray::number(byte, 16).rightJustified(2, '0');
    }
    return out;
}

// Where libdbus and systemd put the user's bus: $XDG_RUNTIME_DIR/bus, /run/user/<uid>/bus.
QString userBusSocket() {
    const QString runtimeDir =
        qEnvironmentVariable("XDG_RUNTIME_DIR", QStringLiteral("/run/user/%1").arg(::getuid()));
    return runtimeDir + QStringLiteral("/bus");
}

// The name goes when the process's connection closes, that is when the process has ended.
bool waitUntilGone(const QString& service, QDBusConnection& bus) {
    const QDeadlineTimer deadline(endMilliseconds);
    while (!deadline.hasExpired()) {
        if (!bus.interface()->isServiceRegistered(service).value())
            return true;
        QThread::msleep(50);
    }
    return false;
}

} // namespace

SessionBusForRun::SessionBusForRun() {
    if (!qEnvironmentVariableIsEmpty(addressVariable))
        return;
    const QString socket = userBusSocket();
    if (QFileInfo::exists(socket)) {
        // Named explicitly, so that the PDF print server started later finds it as well,
        // also where XDG_RUNTIME_DIR is not set.
        qputenv(addressVariable, "unix:path=" + escapedAddressValue(socket));
        return;
    }
    startPrivateBus();
}

void SessionBusForRun::startPrivateBus() {
    m_daemon = std::make_unique<QProcess>();
    m_daemon->setProgram(QStringLiteral("dbus-daemon"));
    m_daemon->setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
    m_daemon->setStandardInputFile(QProcess::nullDevice());
    // Its complaints about limits it may not raise would only puzzle whoever reads the output.
    m_daemon->setStandardErrorFile(QProcess::nullDevice());
    // A run that is killed must not leave its bus behind.
    m_daemon->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon->start();
    QByteArray address;
    if (m_daemon->waitForStarted(startMilliseconds)) {
        const QDeadlineTimer deadline(startMilliseconds);
        while (!m_daemon->canReadLine() && !deadline.hasExpired() &&
               m_daemon->state() == QProcess::Running)
            m_daemon->waitForReadyRead(static_cast<int>(deadline.remainingTime()));
        address = m_daemon->readLine().trimmed();
    }
    if (address.isEmpty()) {
        m_problem = QStringLiteral("there is no D-Bus session bus and none could be started "
                                   "(dbus-daemon: %1).")
                        .arg(m_daemon->error() == QProcess::UnknownError
                                 ? QStringLiteral("it gave no address")
                                 : m_daemon->errorString());
        m_daemon->kill();
        m_daemon->waitForFinished(endMilliseconds);
        m_daemon.reset();
        return;
    }
    qputenv(addressVariable, address);
}

SessionBusForRun::~SessionBusForRun() {
    if (!m_daemon)
        return;
    endPdfServer();
    m_daemon->terminate();
    if (!m_daemon->waitForFinished(endMilliseconds)) {
        m_daemon->kill();
        m_daemon->waitForFinished(endMilliseconds);
    }
}

// Whatever serves the conversation on the private bus was started by this run, detached: it
// is ended here rather than left to notice that its bus has gone.
void SessionBusForRun::endPdfServer() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString& service = dbus::pdfServerName;
    const auto pid = bus.interface()->servicePid(service);
    if (!pid.isValid() || pid.value() == 0)
        return;
    const auto serverPid = static_cast<pid_t>(pid.value());
    ::kill(serverPid, SIGTERM);
    if (!waitUntilGone(service, bus))
        ::kill(serverPid, SIGKILL);
}

} // namespace qp
