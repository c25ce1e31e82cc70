// Run with DBUS_SESSION_BUS_ADDRESS naming a bus that is not there: the server must give up
// saying why, and the program's client of the server must answer 282 rather than hang.

#include "PdfServerHarness.h"
#include "platform/dbus/DBusPdfPrintServer.h"

#include <QElapsedTimer>

namespace qp::test {
namespace {

TEST(NoSessionBus, ServerGivesUpAndTheClientHasNoAnswer) {
    ASSERT_TRUE(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains("nonexistent"));
    QProcess server;
    server.start(pdfServerProgram(), {});
    ASSERT_TRUE(server.waitForFinished(10000));
    EXPECT_EQ(server.exitCode(), 1);
    EXPECT_TRUE(server.readAllStandardError().contains("no D-Bus session bus"));
    DBusPdfPrintServer client;
    QElapsedTimer elapsed;
    elapsed.start();
    expectFailure([&] { client.connect(); }, ErrorNumber::ConversationNoAnswer,
                  "no D-Bus session bus");
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_FALSE(client.isConnected());
}

} // namespace
} // namespace qp::test
