// How the PDF print server comes and goes: one server per session bus, an end after a quiet
// while, and no server without a bus.

#include "PdfServerHarness.h"
#include "core/AppError.h"
#include "platform/dbus/DBusConversation.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

class ServerLifecycleTest : public ::testing::Test {
protected:
    void TearDown() override { endServingProcess(); }
};

TEST_F(ServerLifecycleTest, SecondStartWhileOneServesEndsQuietly) {
    PdfServerProcess first;
    first.start();
    const QString owner = conversationOwner();

    PdfServerProcess second;
    second.start(false);
    ASSERT_TRUE(second.process().waitForFinished(10000)) << "a second server stayed";
    EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process().exitCode(), 0);

    EXPECT_EQ(conversationOwner(), owner);
    EXPECT_EQ(first.process().state(), QProcess::Running);
}

TEST_F(ServerLifecycleTest, EndsAfterAQuietWhileThatEachCommandExtends) {
    PdfServerProcess server(1.5);
    QElapsedTimer sinceStart;
    sinceStart.start();
    server.start();

    QTest::qWait(1000);
    DBusConversation conversation;
    conversation.open(QStringLiteral("AcroView"), QStringLiteral("Control"), QString());
    // Even a refused command is a conversation that keeps the server.
    EXPECT_THROW(conversation.execute(QStringLiteral("[Ping()]"), -1), AppError);
    QElapsedTimer sinceCommand;
    sinceCommand.start();

    QTest::qWait(1000);
    EXPECT_EQ(server.process().state(), QProcess::Running)
        << "ended " << sinceStart.elapsed() << " ms after its start despite the command";
    ASSERT_TRUE(server.process().waitForFinished(8000)) << "the server did not end when idle";
    EXPECT_GE(sinceCommand.elapsed(), 1400);
    EXPECT_EQ(server.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.process().exitCode(), 0);
    EXPECT_TRUE(waitForConversationOwner(false, 2000));
}

TEST_F(ServerLifecycleTest, EndsWhenItsSessionBusGoesAway) {
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address")});
    ASSERT_TRUE(bus.waitForReadyRead(10000)) << "no private bus";
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();

    QProcess server;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    server.setProcessEnvironment(environment);
    server.start(pdfServerProgram(), {});
    ASSERT_TRUE(server.waitForStarted(10000));
    QTest::qWait(500);
    EXPECT_EQ(server.state(), QProcess::Running);

    bus.kill();
    bus.waitForFinished(5000);
    const bool ended = server.waitForFinished(10000);
    if (!ended) {
        server.kill();
        server.waitForFinished(5000);
    }
    EXPECT_TRUE(ended) << "the server outlived its bus";
}

TEST_F(ServerLifecycleTest, WithoutSessionBusServerFailsAndConversationHasNoAnswer) {
    QProcess server;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=/nonexistent/bus"));
    server.setProcessEnvironment(environment);
    server.start(pdfServerProgram(), {});
    ASSERT_TRUE(server.waitForFinished(10000));
    EXPECT_EQ(server.exitCode(), 1);
    EXPECT_TRUE(server.readAllStandardError().contains("no D-Bus session bus"));

    DBusConversation conversation(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nowhere")));
    try {
        conversation.open(QStringLiteral("AcroView"), QStringLiteral("Control"), QString());
        ADD_FAILURE() << "a conversation opened without a bus";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::ConversationNoAnswer);
        EXPECT_TRUE(error.description().contains(QStringLiteral("no D-Bus session bus")));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("nowhere"));
}

} // namespace
} // namespace qp::test
