#include "printing/AcrobatPrinter.h"
#include "PrintingFakes.h"
#include "printing/LinkTextBox.h"

#include <gtest/gtest.h>

namespace qp::test {
namespace {

using namespace std::chrono_literals;

const QString Acrobat = QStringLiteral("/opt/pdf/bin/acroread");

class AcrobatPrinterTest : public ::testing::Test {
protected:
    Journal journal;
    FakeBatchRunView view{journal};
    JournalPrompter prompter{journal};
    FakeProgramStarter starter{journal};
    FakeConversation conversation{journal};
    FakeWaitClock clock;
    LinkTextBox link{conversation};
    AcrobatPrinter printer{view, prompter, starter, link, clock};
    bool started = false;
};

TEST_F(AcrobatPrinterTest, WithoutAProgramPathTheUserIsToldAndNothingIsSent) {
    prompter.script(PromptAnswer::Ok);
    printer.print(QStringLiteral("/d/x.pdf"), QString(), started);

    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              "Cannot print /d/x.pdf\r\nAcrobat has not been properly set up.\r\n"
              "Please use \"File -> Locate Acrobat\" before trying to print .pdf files");
    EXPECT_EQ(prompter.boxes[0].title, "Cannot print...");
    EXPECT_EQ(prompter.boxes[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(prompter.boxes[0].icon, PromptIcon::Information);
    EXPECT_TRUE(view.skipSave);
    EXPECT_FALSE(started);
    EXPECT_EQ(journal.lines, QStringList{"box Cannot print..."});
}

TEST_F(AcrobatPrinterTest, StartsTheProgramThenOpensAndPrintsInOneConversation) {
    printer.print(QStringLiteral("/home/a b/My File.PDF"), Acrobat, started);

    EXPECT_TRUE(started);
    EXPECT_EQ(journal.lines, (QStringList{
                                 "start " + Acrobat,
                                 "open AcroView|Control|",
                                 "execute [DocOpen(\"/home/a b/My File.PDF\")] @-1",
                                 "execute [FilePrintSilent(\"/home/a b/My File.PDF\")] @20000",
                                 "close",
                             }));
    EXPECT_EQ(link.LinkTimeout(), AcrobatPrinter::CommandTimeoutTenths);
    EXPECT_FALSE(view.skipSave);
    EXPECT_EQ(clock.sleeps, 0);
}

TEST_F(AcrobatPrinterTest, AJustStartedProgramIsGivenTimeToAnswer) {
    conversation.unansweredOpens = 4;
    printer.print(QStringLiteral("/d/1.pdf"), Acrobat, started);

    EXPECT_EQ(journal.starting("open ").size(), 5);
    EXPECT_EQ(conversation.executed.size(), 2);
    EXPECT_EQ(clock.sleeps, 4);
    EXPECT_LE(clock.slept, AcrobatPrinter::StartupAnswerWait);
    // The window is painted between the attempts, never a sleep without one.
    EXPECT_EQ(view.repaints, 4);
}

TEST_F(AcrobatPrinterTest, AProgramThatNeverAnswersGivesUpAfterAboutThirtySeconds) {
    conversation.unansweredOpens = -1;
    try {
        printer.print(QStringLiteral("/d/1.pdf"), Acrobat, started);
        FAIL() << "an unanswered conversation was taken for an answer";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::ConversationNoAnswer);
    }
    EXPECT_GE(clock.slept, 30s);
    EXPECT_LE(clock.slept, 30s + AcrobatPrinter::AnswerRetryPause);
    EXPECT_GT(view.repaints, 0);
    EXPECT_TRUE(conversation.executed.isEmpty());
    EXPECT_TRUE(started) << "the program did start";
}

TEST_F(AcrobatPrinterTest, AServerThatStoppedAnsweringLaterInTheRunFailsAtOnce) {
    printer.print(QStringLiteral("/d/1.pdf"), Acrobat, started);
    conversation.unansweredOpens = -1;
    EXPECT_THROW(printer.print(QStringLiteral("/d/2.pdf"), Acrobat, started), AppError);
    EXPECT_EQ(clock.sleeps, 0);
    EXPECT_EQ(starter.starts, 1);
}

TEST_F(AcrobatPrinterTest, ARefusedOpenCommandStopsBeforePrinting) {
    conversation.refusals.emplace(QStringLiteral("[DocOpen("),
                                  AppError(ErrorNumber::ConversationRefused, "no such file"));
    EXPECT_THROW(printer.print(QStringLiteral("/d/1.pdf"), Acrobat, started), AppError);
    EXPECT_EQ(conversation.executed.size(), 1);
    EXPECT_TRUE(conversation.isOpen()) << "the next entry ends it";
    EXPECT_EQ(link.LinkTimeout(), LinkTextBox::ClientDefaultTimeout);

    conversation.refusals.clear();
    printer.print(QStringLiteral("/d/2.pdf"), Acrobat, started);
    EXPECT_EQ(
        journal.lines.mid(journal.lines.indexOf("execute [DocOpen(\"/d/1.pdf\")] @-1") + 1, 2),
        (QStringList{"close", "open AcroView|Control|"}));
}

} // namespace
} // namespace qp::test
