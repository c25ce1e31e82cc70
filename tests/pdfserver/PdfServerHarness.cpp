#include "PdfServerHarness.h"

#include "platform/dbus/ConversationAddress.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>

namespace qp::test {

namespace {

QString serviceName() {
    return dbus::conversationAddress(QStringLiteral("AcroView"), QStringLiteral("Control")).service;
}

} // namespace

QString pdfServerProgram() {
    return qEnvironmentVariable("QP_RUNTIME_DIR") + QStringLiteral("/quirepress-pdf-server");
}

QString conversationOwner() {
    const auto reply = QDBusConnection::sessionBus().interface()->serviceOwner(serviceName());
    return reply.isValid() ? reply.value() : QString();
}

bool waitForConversationOwner(bool present, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (conversationOwner().isEmpty() != present)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
}

void endServingProcess() {
    const QString owner = conversationOwner();
    if (owner.isEmpty())
        return;
    const auto pid = QDBusConnection::sessionBus().interface()->servicePid(owner);
    if (pid.isValid() && pid.value() > 0)
        ::kill(static_cast<pid_t>(pid.value()), SIGKILL);
    EXPECT_TRUE(waitForConversationOwner(false, 10000)) << "the PDF print server did not end";
}

PdfServerProcess::PdfServerProcess(double idleSeconds) : m_process(std::make_unique<QProcess>()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QP_PDF_SERVER_IDLE_SECONDS"), QString::number(idleSeconds));
    m_process->setProcessEnvironment(environment);
    m_process->setProgram(pdfServerProgram());
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

PdfServerProcess::~PdfServerProcess() {
    if (m_process->state() == QProcess::NotRunning)
        return;
    const auto pid = m_process->processId();
    const bool wasOwner =
        QDBusConnection::sessionBus().interface()->servicePid(conversationOwner()).value() == pid;
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    m_process->waitForFinished(10000);
    if (wasOwner)
        waitForConversationOwner(false, 10000);
}

void PdfServerProcess::start(bool waitForName) {
    m_process->start();
    ASSERT_TRUE(m_process->waitForStarted(10000)) << m_process->errorString().toStdString();
    if (waitForName)
        ASSERT_TRUE(waitForConversationOwner(true, 10000)) << "the server did not take its name";
}

qint64 PdfServerProcess::pid() const {
    return m_process->processId();
}

void PdfServerProcess::signal(int signalNumber) {
    ::kill(static_cast<pid_t>(m_process->processId()), signalNumber);
}

} // namespace qp::test
