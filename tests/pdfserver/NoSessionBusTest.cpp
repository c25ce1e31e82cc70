// Run with DBUS_SESSION_BUS_ADDRESS naming a bus that is not there: the conversation the
// program makes by default must answer 282 rather than hang or crash.

#include "core/AppError.h"
#include "platform/dbus/DBusConversation.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

TEST(NoSessionBus, OpeningTheConversationHasNoAnswer) {
    ASSERT_TRUE(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").contains("nonexistent"));
    DBusConversation conversation;
    QElapsedTimer elapsed;
    elapsed.start();
    try {
        conversation.open(QStringLiteral("AcroView"), QStringLiteral("Control"), QString());
        ADD_FAILURE() << "a conversation opened without a bus";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::ConversationNoAnswer);
    }
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_FALSE(conversation.isOpen());
}

} // namespace
} // namespace qp::test
