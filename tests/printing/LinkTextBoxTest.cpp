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

TEST_F(LinkTextBoxTest, ManualModeOpensOnTheTopicAndItemAndNoneEndsIt) {
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkNone);
    link.setLinkTopic(QStringLiteral("AcroView|Control"));
    link.setLinkItem(QString());
    link.setLinkMode(LinkTextBox::LinkManual);
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkManual);
    EXPECT_TRUE(conversation.isOpen());

    link.setLinkMode(LinkTextBox::LinkNone);
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkNone);
    EXPECT_FALSE(conversation.isOpen());
    // Ending a conversation that is not there is no failure and sends nothing.
    link.setLinkMode(LinkTextBox::LinkNone);
    EXPECT_EQ(journal.lines, (QStringList{"open AcroView|Control|", "close"}));
}

TEST_F(LinkTextBoxTest, OpeningAgainEndsTheOpenConversationFirst) {
    link.setLinkTopic(QStringLiteral("Server|First"));
    link.setLinkMode(LinkTextBox::LinkManual);
    link.setLinkTopic(QStringLiteral("Server|Second"));
    link.setLinkItem(QStringLiteral("item"));
    link.setLinkMode(LinkTextBox::LinkManual);
    EXPECT_EQ(journal.lines,
              (QStringList{"open Server|First|", "close", "open Server|Second|item"}));
}

TEST_F(LinkTextBoxTest, AnOpenNobodyAnswersLeavesNoConversation) {
    conversation.unansweredOpens = -1;
    link.setLinkTopic(QStringLiteral("AcroView|Control"));
    try {
        link.setLinkMode(LinkTextBox::LinkManual);
        FAIL() << "an unanswered open succeeded";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::ConversationNoAnswer);
    }
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkNone);
    EXPECT_THROW(link.LinkExecute(QStringLiteral("[DocOpen(\"x\")]")), AppError);
    EXPECT_TRUE(conversation.executed.isEmpty());
}

TEST_F(LinkTextBoxTest, CommandsCarryTheTimeOutInForceWhenSent) {
    EXPECT_EQ(link.LinkTimeout(), LinkTextBox::ClientDefaultTimeout);
    link.setLinkTopic(QStringLiteral("AcroView|Control"));
    link.setLinkMode(LinkTextBox::LinkManual);
    link.LinkExecute(QStringLiteral("first"));
    link.setLinkTimeout(20000);
    link.LinkExecute(QStringLiteral("second"));
    link.setLinkMode(LinkTextBox::LinkNone);
    link.setLinkMode(LinkTextBox::LinkManual);
    link.LinkExecute(QStringLiteral("third"));
    EXPECT_EQ(conversation.timeouts, (QList<int>{-1, 20000, 20000}));
}

TEST_F(LinkTextBoxTest, ARefusedCommandLeavesTheConversationOpen) {
    conversation.refusals.emplace(QStringLiteral("bad"),
                                  AppError(ErrorNumber::ConversationRefused, "refused"));
    link.setLinkTopic(QStringLiteral("AcroView|Control"));
    link.setLinkMode(LinkTextBox::LinkManual);
    try {
        link.LinkExecute(QStringLiteral("bad command"));
        FAIL() << "a refusal was swallowed";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::ConversationRefused);
        EXPECT_EQ(error.description(), "refused");
    }
    EXPECT_EQ(link.LinkMode(), LinkTextBox::LinkManual);
    EXPECT_TRUE(conversation.isOpen());
}

TEST_F(LinkTextBoxTest, ModesOtherThanNoneAndManualAreRefused) {
    for (int mode : {1, 3, -1}) {
        EXPECT_THROW(link.setLinkMode(mode), AppError) << mode;
    }
    EXPECT_TRUE(journal.lines.isEmpty());
}

} // namespace
} // namespace qp::test
