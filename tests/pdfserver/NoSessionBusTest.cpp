// Run with DBUS_SESSION_BUS_ADDRESS naming a bus that is not there: the server must give up
// saying why, and the conversation the program makes by default must answer 282 rather than
// hang or crash.

#include "PdfServerHarness.h"
#include "platform/dbus/DBusConversation.h"

#include <QElapsedTimer>

namespace qp::test {
namespace {

TEST(NoSessionBus, ServerGivesUpAndTheConversationHasNoAnswer) {
    ASSERT_TRUE(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains("nonexistent"));
    QProcess server;
    server.start(pdfServerProgram(), {});
    ASSERT_TRUE(server.waitForFinished(10000));
    EXPECT_EQ(server.exitCode(), 1);
    EXPECT_TRUE(server.readAllStandardError().contains("no D-Bus session bus"));

    DBusConversation conversation;
    QElapsedTimer elapsed;
    elapsed.start();
    expectFailure([&] { conversation.open("AcroView", "Control", {}); },
                  ErrorNumber::ConversationNoAnswer, "no D-Bus session bus");
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_FALSE(conversation.isOpen());
}

} // namespace
} // namespace qp::test
