#pragma once

#include "platform/dbus/ConversationAddress.h"
#include "support/PrivateCups.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QThread>
#include <signal.h>

namespace qp::test {

// Fails the test unless the action fails with this number and words in its description.
inline void expectFailure(const std::function<void()>& action, long number,
                          const QString& words = {}) {
    const AppError error = failureOf(action);
    EXPECT_EQ(error.number(), number) << error.description().toStdString();
    EXPECT_TRUE(error.description().contains(words)) << error.description().toStdString();
}

inline QString pdfServerProgram() {
    return qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress-pdf-server";
}

// The unique bus name that owns the AcroView conversation now, or the empty text.
inline QString conversationOwner() {
    const QString service = dbus::conversationAddress("AcroView", "Control").service;
    const auto reply = QDBusConnection::sessionBus().interface()->serviceOwner(service);
    return reply.isValid() ? reply.value() : QString();
}

inline bool waitForConversationOwner(bool present, int timeoutMs) {
    for (const QDeadlineTimer deadline(timeoutMs); conversationOwner().isEmpty() == present;
         QThread::msleep(20))
        if (deadline.hasExpired())
            return false;
    return true;
}

// Ends whatever serves the conversation, also a server a run started detached, so that
// nothing outlives a test.
inline void endServingProcess() {
    const QString owner = conversationOwner();
    if (owner.isEmpty())
        return;
    if (const auto pid = QDBusConnection::sessionBus().interface()->servicePid(owner);
        pid.isValid())
        ::kill(static_cast<pid_t>(pid.value()), SIGKILL);
    EXPECT_TRUE(waitForConversationOwner(false, 10000)) << "the PDF print server did not end";
}

// The real server of this build, killed when the object goes.
class PdfServerProcess : public QProcess {
public:
    explicit PdfServerProcess(double idleSeconds = 60, const QString& busAddress = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QP_PDF_SERVER_IDLE_SECONDS", QString::number(idleSeconds));
        if (!busAddress.isEmpty())
            environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        setProcessEnvironment(environment);
        setProgram(pdfServerProgram());
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~PdfServerProcess() override {
        kill();
        waitForFinished(10000);
    }
    void startServing(bool waitForName = true) {
        start();
        ASSERT_TRUE(waitForStarted(10000)) << errorString().toStdString();
        if (waitForName)
            ASSERT_TRUE(waitForConversationOwner(true, 10000)) << "the server took no name";
    }
    void signal(int signalNumber) { ::kill(static_cast<pid_t>(processId()), signalNumber); }
};

struct ServingTest : KeptJobsTest {
    void TearDown() override { endServingProcess(); }
};

} // namespace qp::test
