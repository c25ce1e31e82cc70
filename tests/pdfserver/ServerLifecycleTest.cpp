// How the PDF print server comes and goes: one server per session bus, an end after a quiet
// while, and not beyond its bus.

#include "PdfServerHarness.h"
#include "platform/dbus/DBusPdfPrintServer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

namespace qp::test {
namespace {

class ServerLifecycleTest : public ::testing::Test {
protected:
    void TearDown() override { endServingProcess(); }
};

TEST_F(ServerLifecycleTest, SecondStartWhileOneServesEndsQuietly) {
    PdfServerProcess first;
    first.startServing();
    const QString owner = conversationOwner();

    PdfServerProcess second;
    second.startServing(false);
    ASSERT_TRUE(second.waitForFinished(10000)) << "a second server stayed";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    EXPECT_EQ(conversationOwner(), owner);
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(ServerLifecycleTest, EndsAfterAQuietWhileThatEachCommandExtends) {
    PdfServerProcess server(1.5);
    server.startServing();

    QTest::qWait(1000);
    DBusPdfPrintServer client;
    client.connect();
    // Even a refused command is a conversation that keeps the server.
    EXPECT_THROW(client.openDocument("/no/such/folder/x.pdf", std::nullopt), AppError);
    QElapsedTimer sinceCommand;
    sinceCommand.start();

    QTest::qWait(1000);
    EXPECT_EQ(server.state(), QProcess::Running) << "it ended despite the command";
    ASSERT_TRUE(server.waitForFinished(8000)) << "the server did not end when idle";
    EXPECT_GE(sinceCommand.elapsed(), 1400);
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
    EXPECT_TRUE(waitForConversationOwner(false, 2000));
}

TEST_F(ServerLifecycleTest, EndsWhenItsSessionBusGoesAway) {
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(bus.waitForReadyRead(10000)) << "no private bus";
    PdfServerProcess server(60, QString::fromUtf8(bus.readLine()).trimmed());
    server.startServing(false);
    QTest::qWait(500);
    EXPECT_EQ(server.state(), QProcess::Running);

    bus.kill();
    bus.waitForFinished(5000);
    EXPECT_TRUE(server.waitForFinished(10000)) << "the server outlived its bus";
}

} // namespace
} // namespace qp::test
