#include "printing/LinkTextBox.h"
#include "PrintingFakes.h"

#include <gtest/gtest.h>

namespace qp::test {
namespace {

class LinkTextBoxTest : public ::testing::Test {
protected:
    Journal journal;
    FakeConversation conversation{journal};
    LinkTextBox link{conversation};
};

TEST_F(LinkTextBoxTest, ManualModeOpensOnTheTopicAndItemAndEveryChangeOfModeEndsIt) {
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkNone);
    link.setLinkTopic(QStringLiteral("Server|First"));
    link.setLinkMode(LinkTextBox::LinkManual);
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkManual);
    link.setLinkTopic(QStringLiteral("Server|Second"));
    link.setLinkItem(QStringLiteral("item"));
    link.setLinkMode(LinkTextBox::LinkManual);
    link.setLinkMode(LinkTextBox::LinkNone);
    link.setLinkMode(LinkTextBox::LinkNone); // with nothing open: no failure, nothing sent
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkNone);
    for (int mode : {1, 3, -1})
        EXPECT_EQ(errorNumberOf([&] { link.setLinkMode(mode); }), ErrorNumber::InvalidPropertyValue)
            << mode;
    EXPECT_EQ(journal.lines,
              (QStringList{"open Server|First|", "close", "open Server|Second|item", "close"}));
}

TEST_F(LinkTextBoxTest, AnOpenNobodyAnswersLeavesNoConversationToSendTo) {
    conversation.unansweredOpens = -1;
    link.setLinkTopic(QStringLiteral("AcroView|Control"));
    EXPECT_EQ(errorNumberOf([&] { link.setLinkMode(LinkTextBox::LinkManual); }),
              ErrorNumber::ConversationNoAnswer);
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkNone);
    EXPECT_EQ(errorNumberOf([&] { link.LinkExecute(QStringLiteral("[DocOpen(\"x\")]")); }),
              ErrorNumber::ConversationNotOpen);
    EXPECT_TRUE(journal.starting("execute ").isEmpty());
}

} // namespace
} // namespace qp::test
