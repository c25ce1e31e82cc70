#include "printing/BatchRun.h"
#include "PrintingFakes.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>

namespace qp::test {
namespace {

using namespace std::chrono_literals;

const QString Acrobat = QStringLiteral("/opt/pdf/bin/acroread");
const QString AcrobatKey = QStringLiteral("Quirepress/Settings/Acrobat");
const QString AcroCancelledKey = QStringLiteral("Quirepress/Settings/AcroCancelled");

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override { settings.set(AcrobatKey, Acrobat); }

    void list(const QStringList& entries) { view.entries = entries; }
    // Runs, then checks what every run leaves behind, however it ended.
    void runToTheEnd() {
        run.run();
        EXPECT_FALSE(run.isRunning());
        EXPECT_EQ(automation.liveObjects, 0) << "an automation object was not released";
        EXPECT_TRUE(prompter.allAnswersUsed()) << "a scripted answer was never asked for";
    }
    void expectReadyAfterTheRun() {
        EXPECT_EQ(view.readyStates, 1);
        EXPECT_TRUE(view.entries.isEmpty());
        EXPECT_EQ(view.status, "Ready");
        EXPECT_FALSE(view.progressVisible);
        EXPECT_FALSE(view.busyPointer);
        EXPECT_FALSE(view.skipSave);
    }
    QStringList boxTitles() const {
        QStringList titles;
        for (const auto& box : prompter.boxes)
            titles.append(box.title);
        return titles;
    }
    QStringList bound() const { return journal.starting("bind "); }

    Journal journal;
    FakeBatchRunView view{journal};
    JournalPrompter prompter{journal};
    FakeSettingsStore settings;
    FakeAutomation automation{journal};
    FakeProgramStarter starter{journal};
    FakeConversation conversation{journal};
    FakeWaitClock clock;
    BatchRun run{view, prompter, settings, automation, starter, conversation, clock};
};

// --- start, progress and the ready state -------------------------------------------------

TEST_F(BatchRunTest, AnEmptyListDoesNothingEvenWithATypedPath) {
    view.pathBox = QStringLiteral("/d/typed.doc");
    view.skipSave = true;
    runToTheEnd();
    EXPECT_TRUE(journal.lines.isEmpty()) << journal.lines.join('\n').toStdString();
    EXPECT_EQ(view.pathBox, "/d/typed.doc");
    EXPECT_TRUE(view.skipSave);
    EXPECT_EQ(view.readyStates, 0);
}

TEST_F(BatchRunTest, EachEntryIsAnnouncedAndCountedBeforeItIsPrinted) {
    list({"/d/1.ppt", "/d/2.ppt", "/d/3.ppt"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();

    EXPECT_EQ(view.maximum, 3);
    EXPECT_EQ(view.minimum, 1);
    EXPECT_EQ(view.value, 3);
    EXPECT_TRUE(view.invalidRanges.isEmpty());
    const int busy = journal.indexOf("busy pointer");
    EXPECT_LT(journal.indexOf("show progress"), busy);
    for (int n = 1; n <= 3; ++n) {
        const QString path = QStringLiteral("/d/%1.ppt").arg(n);
        const int progress = journal.indexOf(QStringLiteral("progress %1").arg(n));
        const int status = journal.indexOf("status Preparing " + path + " for printing.");
        const int bind = journal.indexOf("bind " + path);
        EXPECT_LT(busy, progress);
        EXPECT_LT(progress, status) << path.toStdString();
        EXPECT_EQ(journal.lines.at(status + 1), "repaint") << "the status must be seen";
        EXPECT_LT(status, bind) << path.toStdString();
    }
    EXPECT_EQ(journal.lines.last(), "ready");
    expectReadyAfterTheRun();
}

TEST_F(BatchRunTest, AOneEntryRunAfterALongerOneKeepsTheMinimumBelowTheMaximum) {
    list({"/d/first.ppt"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(view.minimum, 0) << "a fresh window keeps its minimum";
    EXPECT_EQ(view.maximum, 1);
    EXPECT_EQ(view.value, 1);

    list({"/d/1.ppt", "/d/2.ppt"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(view.minimum, 1);

    list({"/d/alone.ppt"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_TRUE(view.invalidRanges.isEmpty());
    EXPECT_LE(view.minimum, view.maximum);
    EXPECT_EQ(view.maximum, 1);
    EXPECT_EQ(view.value, 1);
    EXPECT_EQ(bound().last(), "bind /d/alone.ppt");
}

// --- kinds of entries ----------------------------------------------------------------------

TEST_F(BatchRunTest, EachKindOfEntryGoesItsOwnWay) {
    automation.documents[QStringLiteral("/d/f.xls")].worksheetCount = 1;
    list({"/d/a.DOC", "/d/b.PDF", "/d/c.XLS", "/d/d.ppt", "/d/e.txt", "/d/f.xls", "ab"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();

    EXPECT_EQ(bound(), (QStringList{"bind /d/a.DOC", "bind /d/c.XLS", "bind /d/d.ppt",
                                    "bind /d/e.txt", "bind /d/f.xls", "bind ab"}))
        << "a PDF is never bound";
    EXPECT_EQ(journal.starting("call /d/a.DOC."),
              (QStringList{"call /d/a.DOC.Activate()", "call /d/a.DOC.PrintOut()",
                           "call /d/a.DOC.Close()"}));
    EXPECT_EQ(journal.starting("value /d/a.DOC/Parent.BackgroundPrintingStatus").size(), 1);
    EXPECT_EQ(conversation.executed,
              (QStringList{"[DocOpen(\"/d/b.PDF\")]", "[FilePrintSilent(\"/d/b.PDF\")]"}));
    for (const QString plain : {"/d/c.XLS", "/d/d.ppt", "/d/e.txt", "ab"}) {
        EXPECT_EQ(journal.starting("call " + plain + "."),
                  (QStringList{"call " + plain + ".PrintOut()", "call " + plain + ".Close()"}));
        EXPECT_TRUE(journal.starting("object " + plain + ".").isEmpty());
    }
    EXPECT_EQ(journal.starting("call /d/f.xls"),
              (QStringList{"call /d/f.xls/Worksheets(1).PrintOut()", "call /d/f.xls.Close()"}));
    // Each document is let go before the next entry starts.
    EXPECT_LT(journal.indexOf("release /d/a.DOC"),
              journal.indexOf("status Preparing /d/b.PDF for printing."));
    expectReadyAfterTheRun();
}

// --- the wait for background printing ------------------------------------------------------

TEST_F(BatchRunTest, TheWordWaitKeepsTheWindowLiveUntilPrintingEnds) {
    automation.documents[QStringLiteral("/d/long.doc")].backgroundStatus = {3, 3, 2, 1, 0};
    list({"/d/long.doc", "/d/next.ppt"});
    // A user adds an entry while the run waits: it is not printed by this run, but it is
    // still in the list when the save is offered.
    view.onYield = [&](int yieldNumber) {
        if (yieldNumber == 2)
            view.entries.append(QStringLiteral("/d/late.ppt"));
    };
    prompter.script(PromptAnswer::Yes);
    runToTheEnd();

    EXPECT_EQ(view.yields, 4);
    const int lastYield = journal.lines.lastIndexOf("yield");
    EXPECT_LT(lastYield, journal.indexOf("call /d/long.doc.Close()"));
    EXPECT_LT(journal.indexOf("call /d/long.doc.Close()"), journal.indexOf("bind /d/next.ppt"));
    EXPECT_EQ(bound(), (QStringList{"bind /d/long.doc", "bind /d/next.ppt"}));
    ASSERT_EQ(view.savedBatches.size(), 1);
    EXPECT_EQ(view.savedBatches[0], (QStringList{"/d/long.doc", "/d/next.ppt", "/d/late.ppt"}));
}

TEST_F(BatchRunTest, PrintBatchPressedDuringTheWordWaitDoesNotStartASecondRun) {
    automation.documents[QStringLiteral("/d/long.doc")].backgroundStatus = {1, 1, 0};
    list({"/d/long.doc", "/d/b.ppt"});
    bool runningDuringWait = false;
    view.onYield = [&](int) {
        runningDuringWait = run.isRunning();
        run.run();
    };
    prompter.script(PromptAnswer::No);
    runToTheEnd();

    EXPECT_TRUE(runningDuringWait);
    EXPECT_EQ(bound(), (QStringList{"bind /d/long.doc", "bind /d/b.ppt"}));
    EXPECT_EQ(journal.starting("show progress").size(), 1);
    EXPECT_EQ(boxTitles(), QStringList{"Save batch..."});
    expectReadyAfterTheRun();

    // The button works again once the run is over.
    view.onYield = nullptr;
    list({"/d/again.ppt"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(bound().last(), "bind /d/again.ppt");
}

TEST_F(BatchRunTest, EntriesRemovedDuringTheWordWaitAreNotPrinted) {
    automation.documents[QStringLiteral("/d/long.doc")].backgroundStatus = {1, 0};
    list({"/d/long.doc", "/d/b.ppt", "/d/c.ppt"});
    view.onYield = [&](int) { view.entries = {QStringLiteral("/d/long.doc")}; };
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(bound(), QStringList{"bind /d/long.doc"});
    expectReadyAfterTheRun();
}

// --- the pending path and the save offer ---------------------------------------------------

TEST_F(BatchRunTest, APendingPathAddedOnYesIsSavedButNotPrinted) {
    list({"/d/a.ppt"});
    view.pathBox = QStringLiteral("/d/typed.doc");
    view.skipSave = true;               // as after opening a batch file
    prompter.script(PromptAnswer::Yes); // add it
    prompter.script(PromptAnswer::Yes); // save
    runToTheEnd();

    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(prompter.boxes[0].text, "The file /d/typed.doc has not been added to the list.\r\n"
                                      "Would you like to add it?");
    EXPECT_EQ(prompter.boxes[0].title, "Add File...");
    EXPECT_EQ(prompter.boxes[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompter.boxes[0].icon, PromptIcon::Question);
    EXPECT_LT(journal.indexOf("box Add File..."), journal.indexOf("show progress"));
    EXPECT_EQ(bound(), QStringList{"bind /d/a.ppt"});
    EXPECT_EQ(view.maximum, 1) << "the range was fixed before the path was added";
    ASSERT_EQ(view.savedBatches.size(), 1);
    EXPECT_EQ(view.savedBatches[0], (QStringList{"/d/a.ppt", "/d/typed.doc"}));
    expectReadyAfterTheRun();
}

TEST_F(BatchRunTest, APendingPathDeclinedIsDroppedAndTheSaveIsStillOffered) {
    list({"/d/a.ppt"});
    view.pathBox = QStringLiteral("/d/typed.doc");
    view.skipSave = true;
    prompter.script(PromptAnswer::No);  // do not add it
    prompter.script(PromptAnswer::Yes); // save
    runToTheEnd();
    EXPECT_EQ(boxTitles(), (QStringList{"Add File...", "Save batch..."}));
    ASSERT_EQ(view.savedBatches.size(), 1);
    EXPECT_EQ(view.savedBatches[0], QStringList{"/d/a.ppt"});
}

TEST_F(BatchRunTest, TheSaveOfferFollowsSkipSaveOffer) {
    list({"/d/a.ppt", "/d/b.doc"});
    prompter.script(PromptAnswer::Yes);
    runToTheEnd();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              "Would you like to save this batch for printing at a later date?");
    EXPECT_EQ(prompter.boxes[0].title, "Save batch...");
    EXPECT_EQ(prompter.boxes[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompter.boxes[0].icon, PromptIcon::Question);
    EXPECT_LT(journal.indexOf("save batch"), journal.indexOf("ready"));
    ASSERT_EQ(view.savedBatches.size(), 1);
    EXPECT_EQ(view.savedBatches[0], (QStringList{"/d/a.ppt", "/d/b.doc"}));

    // An opened batch printed as it stands is not offered again.
    list({"/d/a.ppt", "/d/b.doc"});
    view.skipSave = true;
    runToTheEnd();
    EXPECT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(view.savedBatches.size(), 1);
    EXPECT_FALSE(view.skipSave);

    // Answering No saves nothing.
    list({"/d/a.ppt"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(view.savedBatches.size(), 1);
}

// --- entries that cannot be used -----------------------------------------------------------

TEST_F(BatchRunTest, AnUnbindableEntryAnsweredYesIsSkippedAndTheRunGoesOn) {
    automation.unbindable.emplace(QStringLiteral("/d/gone.doc"),
                                  AppError(ErrorNumber::CannotBind, "Operation unavailable"));
    list({"/d/a.ppt", "/d/gone.doc", "/d/c.ppt"});
    prompter.script(PromptAnswer::Yes); // continue
    prompter.script(PromptAnswer::Yes); // save
    runToTheEnd();

    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(prompter.boxes[0].text, "/d/gone.doc is not a valid file.  Do you wish to continue?");
    EXPECT_EQ(prompter.boxes[0].title, "File does not exist...");
    EXPECT_EQ(prompter.boxes[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompter.boxes[0].icon, PromptIcon::Question);
    const int box = journal.indexOf("box File does not exist...");
    EXPECT_EQ(journal.lines.at(box - 2), "status /d/gone.doc is not a valid file. ");
    EXPECT_EQ(bound(), (QStringList{"bind /d/a.ppt", "bind /d/gone.doc", "bind /d/c.ppt"}));
    EXPECT_EQ(prompter.boxes[1].title, "Save batch...");
    EXPECT_EQ(view.savedBatches[0], (QStringList{"/d/a.ppt", "/d/gone.doc", "/d/c.ppt"}));
    expectReadyAfterTheRun();
}

TEST_F(BatchRunTest, AnUnbindableEntryAnsweredNoEndsTheRunWithoutASaveOffer) {
    automation.unbindable.emplace(QStringLiteral("/d/gone.xls"),
                                  AppError(ErrorNumber::ObjectNotFound, "Object not found"));
    list({"/d/a.ppt", "/d/gone.xls", "/d/c.ppt"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(boxTitles(), QStringList{"File does not exist..."});
    EXPECT_EQ(bound(), (QStringList{"bind /d/a.ppt", "bind /d/gone.xls"}));
    EXPECT_TRUE(view.savedBatches.isEmpty());
    expectReadyAfterTheRun();
}

TEST_F(BatchRunTest, APdfPathWithADoubleQuoteIsTreatedAsAnEntryThatCannotBeUsed) {
    const QString quoted = QStringLiteral("/d/x\")][FileExit()][DocOpen(\"y.pdf");
    list({quoted, "/d/ok.pdf"});
    prompter.script(PromptAnswer::Yes); // continue
    prompter.script(PromptAnswer::No);  // save
    runToTheEnd();
    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(prompter.boxes[0].text, quoted + " is not a valid file.  Do you wish to continue?");
    EXPECT_EQ(prompter.boxes[0].title, "File does not exist...");
    EXPECT_LT(journal.indexOf("box File does not exist..."), journal.indexOf("start " + Acrobat))
        << "nothing is started for an entry that cannot be used";
    for (const QString& command : conversation.executed)
        EXPECT_FALSE(command.contains("FileExit")) << command.toStdString();
    EXPECT_EQ(conversation.executed,
              (QStringList{"[DocOpen(\"/d/ok.pdf\")]", "[FilePrintSilent(\"/d/ok.pdf\")]"}));

    list({quoted, "/d/ok.pdf"});
    prompter.script(PromptAnswer::No); // stop
    conversation.executed.clear();
    runToTheEnd();
    EXPECT_TRUE(conversation.executed.isEmpty());
    EXPECT_EQ(view.readyStates, 2);
}

// --- failures that end the run -------------------------------------------------------------

TEST_F(BatchRunTest, NoDefaultPrinterClosesTheDocumentAndEndsTheRun) {
    automation.failures.emplace(QStringLiteral("/d/b.doc.PrintOut"),
                                AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
    list({"/d/a.ppt", "/d/b.doc", "/d/c.ppt"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();

    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, "There is no default printer set up.  You must have a "
                                      "default printer to use this utility");
    EXPECT_EQ(prompter.boxes[0].title, "No default printer...");
    EXPECT_EQ(prompter.boxes[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(prompter.boxes[0].icon, PromptIcon::Exclamation);
    const int box = journal.indexOf("box No default printer...");
    EXPECT_EQ(journal.lines.mid(box + 1, 3),
              (QStringList{"call /d/b.doc.Close()", "release /d/b.doc", "ready"}));
    EXPECT_EQ(bound(), (QStringList{"bind /d/a.ppt", "bind /d/b.doc"}));
    EXPECT_TRUE(view.savedBatches.isEmpty());
    expectReadyAfterTheRun();
}

TEST_F(BatchRunTest, NoDefaultPrinterBeforeAnythingIsBoundOrWhileClosingStillEndsReady) {
    automation.unbindable.emplace(QStringLiteral("/d/a.doc"),
                                  AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
    list({"/d/a.doc"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();
    EXPECT_TRUE(journal.starting("call ").isEmpty());
    expectReadyAfterTheRun();

    automation.failures.emplace(QStringLiteral("/d/b.ppt.PrintOut"),
                                AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
    automation.failures.emplace(QStringLiteral("/d/b.ppt.Close"),
                                AppError(ErrorNumber::AutomationError, "cannot close"));
    list({"/d/b.ppt"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();
    EXPECT_EQ(boxTitles(), (QStringList{"No default printer...", "No default printer..."}));
    EXPECT_EQ(view.readyStates, 2);
    EXPECT_TRUE(view.entries.isEmpty());
}

TEST_F(BatchRunTest, AnyOtherFailureIsReportedWithItsNumberAndEndsTheRun) {
    automation.failures.emplace(QStringLiteral("/d/2.doc.PrintOut"),
                                AppError(ErrorNumber::AutomationError, "The printer jammed."));
    list({"/d/1.ppt", "/d/2.doc", "/d/3.ppt", "/d/4.ppt", "/d/5.ppt"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();

    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text,
              "Error: 440\r\nThe printer jammed.\r\nAs a result the batch will be terminated.");
    EXPECT_EQ(prompter.boxes[0].title, "Error...");
    EXPECT_EQ(prompter.boxes[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(prompter.boxes[0].icon, PromptIcon::Critical);
    EXPECT_TRUE(journal.lines.contains("call /d/1.ppt.PrintOut()"));
    EXPECT_EQ(bound(), (QStringList{"bind /d/1.ppt", "bind /d/2.doc"}));
    EXPECT_FALSE(journal.lines.contains("call /d/2.doc.Close()"));
    EXPECT_TRUE(view.savedBatches.isEmpty());
    expectReadyAfterTheRun();
}

TEST_F(BatchRunTest, NegativeErrorNumbersAreShownSigned) {
    automation.failures.emplace(QStringLiteral("/d/a.ppt.PrintOut"),
                                AppError(-2147417848, "The object invoked has disconnected."));
    list({"/d/a.ppt"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_TRUE(prompter.boxes[0].text.startsWith("Error: -2147417848\r\n"));
}

TEST_F(BatchRunTest, FailuresThatAreNotAppErrorsAreReportedAndEndTheRunToo) {
    automation.onBind = [](const QString& path) {
        if (path.endsWith(QLatin1String("1.ppt")))
            throw std::runtime_error("the bridge to the office went away");
        throw std::bad_alloc();
    };
    list({"/d/1.ppt", "/d/2.ppt"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();
    list({"/d/2.ppt"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();

    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(prompter.boxes[0].text, "Error: 51\r\nthe bridge to the office went away\r\n"
                                      "As a result the batch will be terminated.");
    EXPECT_EQ(prompter.boxes[1].text,
              "Error: 7\r\nOut of memory\r\nAs a result the batch will be terminated.");
    EXPECT_EQ(view.readyStates, 2);
    EXPECT_TRUE(view.entries.isEmpty());
}

TEST_F(BatchRunTest, AListBeyondSixteenBitsOverflowsBeforeAnythingPrints) {
    view.entries.reserve(32768);
    for (int i = 0; i < 32768; ++i)
        view.entries.append(QStringLiteral("/d/%1.ppt").arg(i));
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_TRUE(prompter.boxes[0].text.startsWith("Error: 6\r\n"));
    EXPECT_TRUE(bound().isEmpty());
    expectReadyAfterTheRun();
}

// --- PDF entries ---------------------------------------------------------------------------

TEST_F(BatchRunTest, PdfsWithoutAProgramPathAreReportedOneByOneAndOfficeEntriesStillPrint) {
    settings.set(AcrobatKey, QString());
    list({"/d/1.pdf", "/d/a.ppt", "/d/2.pdf", "/d/3.PDF"});
    for (int i = 0; i < 3; ++i)
        prompter.script(PromptAnswer::Ok);
    runToTheEnd();

    EXPECT_EQ(boxTitles(), (QStringList{"Cannot print...", "Cannot print...", "Cannot print..."}));
    EXPECT_TRUE(prompter.boxes[2].text.startsWith("Cannot print /d/3.PDF\r\n"));
    EXPECT_EQ(starter.starts, 0);
    EXPECT_TRUE(journal.starting("open ").isEmpty());
    EXPECT_EQ(bound(), QStringList{"bind /d/a.ppt"});
    EXPECT_TRUE(view.savedBatches.isEmpty());
    expectReadyAfterTheRun();
}

TEST_F(BatchRunTest, TheProgramIsStartedOncePerRunAndAgainInTheNext) {
    list({"/d/1.pdf", "/d/a.ppt", "/d/2.pdf"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(journal.starting("start "), QStringList{"start " + Acrobat});
    EXPECT_LT(journal.indexOf("start " + Acrobat), journal.indexOf("open AcroView|Control|"));
    EXPECT_EQ(conversation.opens, 2);
    EXPECT_FALSE(conversation.isOpen());

    list({"/d/3.pdf", "/d/4.pdf"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(starter.starts, 2);
    EXPECT_EQ(conversation.opens, 4);
}

TEST_F(BatchRunTest, TheLongTimeOutStaysSetAfterTheFirstPrintCommand) {
    EXPECT_EQ(run.linkTextBox().LinkTimeout(), LinkTextBox::ClientDefaultTimeout);
    list({"/d/1.pdf", "/d/2.pdf"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    list({"/d/3.pdf"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();

    EXPECT_EQ(conversation.timeouts, (QList<int>{-1, 20000, 20000, 20000, 20000, 20000}));
    EXPECT_EQ(run.linkTextBox().LinkTimeout(), 20000);
}

TEST_F(BatchRunTest, AJustStartedProgramIsWaitedForWhileTheWindowStaysPainted) {
    conversation.unansweredOpens = 6;
    list({"/d/1.pdf"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(boxTitles(), QStringList{"Save batch..."});
    EXPECT_EQ(conversation.executed.size(), 2);
    EXPECT_EQ(settings.get(AcrobatKey), Acrobat);
    EXPECT_EQ(clock.sleeps, 6);
    const QStringList waiting = journal.lines.mid(journal.indexOf("start " + Acrobat));
    EXPECT_EQ(waiting.count("repaint"), 6);
}

TEST_F(BatchRunTest, AProgramThatNeverAnswersIsForgottenAndLocateIsOffered) {
    settings.set(AcroCancelledKey, QStringLiteral("1"));
    conversation.unansweredOpens = -1;
    list({"/d/a.ppt", "/d/1.pdf", "/d/b.ppt"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();

    EXPECT_GE(clock.slept, 30s);
    EXPECT_LT(clock.slept, 31s);
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].text, "There was a problem with finding Acrobat. Please select "
                                      "Locate Acrobat from the File menu.");
    EXPECT_EQ(prompter.boxes[0].title, "Problem with acrobat...");
    EXPECT_EQ(prompter.boxes[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(prompter.boxes[0].icon, PromptIcon::Exclamation);
    EXPECT_EQ(settings.get(AcrobatKey), QString());
    EXPECT_EQ(settings.get(AcroCancelledKey), "0");
    EXPECT_TRUE(view.locateAcrobatVisible);
    EXPECT_LT(journal.indexOf("show locate acrobat"),
              journal.indexOf("box Problem with acrobat..."));
    EXPECT_EQ(bound(), QStringList{"bind /d/a.ppt"});
    EXPECT_TRUE(view.savedBatches.isEmpty());
    expectReadyAfterTheRun();
}

TEST_F(BatchRunTest, ForgettingTheProgramThatCannotBeWrittenIsReportedToo) {
    conversation.unansweredOpens = -1;
    settings.failWrites = true;
    list({"/d/1.pdf"});
    prompter.script(PromptAnswer::Ok);
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();
    EXPECT_EQ(boxTitles(), (QStringList{"Problem with acrobat...", "Error..."}));
    EXPECT_TRUE(prompter.boxes[1].text.startsWith("Error: 70\r\nSettings cannot be written."));
    EXPECT_TRUE(view.locateAcrobatVisible);
    expectReadyAfterTheRun();
}

TEST_F(BatchRunTest, AProgramThatCannotBeStartedEndsTheRunAndIsTriedAgainNextRun) {
    starter.failure = AppError(ErrorNumber::ProgramNotStarted, "File not found");
    list({"/d/1.pdf", "/d/2.pdf"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();
    EXPECT_EQ(prompter.boxes[0].text,
              "Error: 53\r\nFile not found\r\nAs a result the batch will be terminated.");
    EXPECT_EQ(journal.starting("start ").size(), 1);
    EXPECT_EQ(settings.get(AcrobatKey), Acrobat) << "only an unanswered conversation forgets it";
    expectReadyAfterTheRun();

    starter.failure.reset();
    list({"/d/1.pdf"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(starter.starts, 1);
    EXPECT_EQ(conversation.executed.size(), 2);
}

TEST_F(BatchRunTest, ARefusedOrTimedOutCommandEndsTheRunAndTheNextEntryEndsTheLink) {
    conversation.refusals.emplace(
        QStringLiteral("[FilePrintSilent("),
        AppError(ErrorNumber::ConversationTimeout, "The command did not finish in time."));
    list({"/d/1.pdf", "/d/2.pdf"});
    prompter.script(PromptAnswer::Ok);
    runToTheEnd();
    EXPECT_EQ(prompter.boxes[0].text, "Error: 286\r\nThe command did not finish in time.\r\n"
                                      "As a result the batch will be terminated.");
    EXPECT_TRUE(conversation.isOpen()) << "left open until the next PDF entry";
    EXPECT_EQ(conversation.executed.size(), 2);
    expectReadyAfterTheRun();

    conversation.refusals.clear();
    journal.lines.clear();
    list({"/d/3.pdf"});
    prompter.script(PromptAnswer::No);
    runToTheEnd();
    EXPECT_EQ(journal.starting("close").size(), 2) << "the old link, then the new one";
    EXPECT_LT(journal.indexOf("close"), journal.indexOf("open AcroView|Control|"));
}

} // namespace
} // namespace qp::test
