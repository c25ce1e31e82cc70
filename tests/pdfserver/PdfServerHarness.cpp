#include "PdfServerHarness.h"

#include "platform/dbus/ConversationAddress.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QThread>
#include <signal.h>

namespace qp::test {

void expectFailure(const std::function<void()>& action, long number, const QString& words) {
    const AppError error = failureOf(action);
    EXPECT_EQ(error.number(), number) << error.description().toStdString();
    EXPECT_TRUE(error.description().contains(words)) << error.description().toStdString();
}

QString pdfServerProgram() {
    return qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress-pdf-server";
}

QString conversationOwner() {
    const QString service = dbus::conversationAddress("AcroView", "Control").service;
    const auto reply = QDBusConnection::sessionBus().interface()->serviceOwner(service);
    return reply.isValid() ? reply.value() : QString();
}

bool waitForConversationOwner(bool present, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (conversationOwner().isEmpty() == present && !deadline.hasExpired())
        QThread::msleep(20);
    return conversationOwner().isEmpty() != present;
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

PdfServerProcess::PdfServerProcess(double idleSeconds, const QString& busAddress) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QP_PDF_SERVER_IDLE_SECONDS", QString::number(idleSeconds));
    if (!busAddress.isEmpty())
        environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
    setProcessEnvironment(environment);
    setProgram(pdfServerProgram());
    setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

PdfServerProcess::~PdfServerProcess() {
    kill();
    waitForFinished(10000);
}

void PdfServerProcess::startServing(bool waitForName) {
    start();
    ASSERT_TRUE(waitForStarted(10000)) << errorString().toStdString();
    if (waitForName)
        ASSERT_TRUE(waitForConversationOwner(true, 10000)) << "the server did not take its name";
}

} // namespace qp::test
