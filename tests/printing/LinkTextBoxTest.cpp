#include "printing/LinkTextBox.h"
#include "PrintingFakes.h"

#include <gtest/gtest.h>

namespace qp::test {
namespace {

TEST(LinkTextBox, ManualModeOpensOnTheTopicAndItemAndEveryChangeOfModeEndsIt) {
    Journal journal;
    FakeConversation conversation{journal};
    LinkTextBox link{conversation};
    const auto failureOf = [&](int mode) { return errorNumberOf([&] { link.setLinkMode(mode); }); };

    link.setLinkTopic(QStringLiteral("Server|First"));
    conversation.unansweredOpens = 1;
    EXPECT_EQ(failureOf(LinkTextBox::LinkManual), ErrorNumber::ConversationNoAnswer);
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkNone);
    link.setLinkMode(LinkTextBox::LinkManual);
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkManual);
    link.setLinkTopic(QStringLiteral("Server|Second"));
    link.setLinkItem(QStringLiteral("item"));
    link.setLinkMode(LinkTextBox::LinkManual);
    link.setLinkMode(LinkTextBox::LinkNone);
    link.setLinkMode(LinkTextBox::LinkNone); // with nothing open: no failure, nothing sent
    EXPECT_EQ(errorNumberOf([&] { link.LinkExecute(QStringLiteral("[DocOpen(\"x\")]")); }),
              ErrorNumber::ConversationNotOpen);
    for (int mode : {1, 3, -1})
        EXPECT_EQ(failureOf(mode), ErrorNumber::InvalidPropertyValue) << mode;
    EXPECT_EQ(journal.lines, (QStringList{"open Server|First|", "open Server|First|", "close",
                                          "open Server|Second|item", "close"}));
}

} // namespace
} // namespace qp::test
