#pragma once

// The real PDF print server of this build on the test run's session bus, with a private CUPS
// server to print on.

#include "platform/dbus/PdfServerBus.h"
#include "support/PrivateCups.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <signal.h>

namespace qp::test {

// The unique bus name that owns the server's name now, or the empty text.
inline QString conversationOwner() {
    const auto reply = QDBusConnection::sessionBus().interface()->serviceOwner(dbus::pdfServerName);
    return reply.isValid() ? reply.value() : QString();
}

// Ends whatever serves, also a server a run started detached, so that nothing outlives a test.
inline void endServingProcess() {
    const auto pid = QDBusConnection::sessionBus().interface()->servicePid(conversationOwner());
    if (pid.isValid())
        ::kill(static_cast<pid_t>(pid.value()), SIGKILL);
    EXPECT_TRUE(waitUntil([] { return conversationOwner().isEmpty(); }, 10000))
        << "the PDF print server did not end";
}

// Whether a process whose environment carries the mark runs the command, whatever started it and
// however detached. A process may end between the listing and the reading.
inline bool markedProcessRuns(const QString& mark, const QByteArray& command = {}) {
    for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
        QFile commandLine("/proc/" + pid + "/cmdline"), environment("/proc/" + pid + "/environ");
        if (commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(command) &&
            environment.open(QIODevice::ReadOnly) && environment.readAll().contains(mark.toUtf8()))
            return true;
    }
    return false;
}

// The real server of this build, killed when the object goes.
struct PdfServerProcess : QProcess {
    PdfServerProcess() {
        setProgram(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress-pdf-server");
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~PdfServerProcess() override {
        kill();
        waitForFinished(10000);
    }
    void startServing(bool waitForName = true) {
        start();
        ASSERT_TRUE(waitForStarted(10000)) << errorString().toStdString();
        if (waitForName) {
            ASSERT_TRUE(waitUntil([] { return !conversationOwner().isEmpty(); }, 10000))
                << "the server took no name";
        }
    }
    // Never to pid 0 once the server has ended: that would stop or kill the test itself.
    void signal(int signalNumber) {
        if (state() == QProcess::Running)
            ::kill(static_cast<pid_t>(processId()), signalNumber);
    }
};

struct ServingTest : KeptJobsTest {
    void TearDown() override { endServingProcess(); }
    const QString locked = corpusFile("pdf/encryption_noprinting.pdf"); // forbids printing
};

} // namespace qp::test
