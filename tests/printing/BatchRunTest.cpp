#include "printing/BatchRun.h"
#include "PrintingFakes.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <vector>

namespace qp::test {
namespace {

using namespace std::chrono_literals;
using Answers = std::vector<PromptAnswer>;
using Script = DocumentScript;
constexpr PromptAnswer Yes = PromptAnswer::Yes;
constexpr PromptAnswer No = PromptAnswer::No;
constexpr PromptAnswer Ok = PromptAnswer::Ok;

const QString Acrobat = QStringLiteral("/opt/pdf/bin/acroread");
const QString AcrobatKey = QStringLiteral("Quirepress/Settings/Acrobat");
const QString Terminated = QStringLiteral("\r\nAs a result the batch will be terminated.");

// A batch run with fakes behind every seam and the window.
struct Bench {
    Bench() { settings.set(AcrobatKey, Acrobat); }

    // Runs entries with the scripted answers, then checks what every run leaves behind,
    // however it ended: one ready state as the last thing done, nothing left bound.
    void run(const QStringList& entries, const Answers& answers) {
        view.entries = entries;
        for (const PromptAnswer answer : answers)
            prompter.script(answer);
        const qsizetype readyBefore = journal.starting("ready").size();
        batch.run();
        EXPECT_EQ(office.liveDocuments, 0) << "a document was not released";
        EXPECT_TRUE(prompter.allAnswersUsed()) << "a scripted answer was never asked for";
        if (entries.isEmpty())
            return;
        EXPECT_EQ(journal.starting("ready").size(), readyBefore + 1);
        EXPECT_EQ(journal.lines.last(), "ready");
    }
    QStringList bound() const { return journal.starting("bind "); }
    // The commands sent to the PDF print server.
    QStringList executed() const {
        return journal.lines.filter(QRegularExpression(QStringLiteral("^(open|print) .* @\\S+$")));
    }
    // What was done with a document between its binding and its release.
    QStringList printed(const QString& path) const {
        const int bind = journal.indexOf("bind " + path);
        return journal.lines.mid(bind + 1, journal.indexOf("release " + path) - bind - 1);
    }
    QStringList afterBox(const QString& title, int before = 0) const {
        return journal.lines.mid(journal.indexOf("box " + title) - before);
    }

    Journal journal;
    FakeBatchRunView view{journal};
    JournalPrompter prompter{journal};
    FakeSettingsStore settings;
    FakeOffice office{journal};
    FakeProgramStarter starter{journal};
    FakePdfPrintServer pdfServer{journal};
    FakeWaitClock clock;
    BatchRun batch{view, prompter, settings, office, starter, pdfServer, clock};
};

class BatchRunTest : public ::testing::Test, protected Bench {};

// --- start, progress and the ways of printing ----------------------------------------------

TEST_F(BatchRunTest, AnEmptyListDoesNothingEvenWithATypedPath) {
    view.pathBox = QStringLiteral("/d/typed.doc");
    view.skipSave = true;
    run({}, {});
    EXPECT_TRUE(journal.lines.isEmpty()) << journal.lines.join('\n').toStdString();
    EXPECT_EQ(view.pathBox, "/d/typed.doc");
    EXPECT_TRUE(view.skipSave);
}

TEST_F(BatchRunTest, EachEntryIsAnnouncedAndCountedBeforeItIsPrinted) {
    run({"/d/1.ppt", "/d/2.ppt", "/d/3.ppt"}, {No});
    EXPECT_EQ(view.total, 3);
    const int busy = journal.indexOf("busy pointer");
    EXPECT_LT(journal.indexOf("show progress"), busy);
    for (int n = 1; n <= 3; ++n) {
        const QString path = QStringLiteral("/d/%1.ppt").arg(n);
        const int bind = journal.indexOf("bind " + path);
        EXPECT_LT(busy, bind);
        EXPECT_EQ(journal.lines.mid(bind - 3, 3),
                  (QStringList{QStringLiteral("progress %1").arg(n),
                               "status Preparing " + path + " for printing.", "repaint"}))
            << "the status must be seen before the entry is opened";
    }
    run({"/d/alone.ppt"}, {No});
    EXPECT_EQ(view.total, 1);
}

TEST_F(BatchRunTest, EachKindOfEntryIsPrintedItsOwnWayAndLetGoBeforeTheNext) {
    office.documents[QStringLiteral("/d/a.DOC")].backgroundPending = {true, true, false};
    office.documents[QStringLiteral("/d/f.xls")].worksheetCount = 2;
    run({"/d/a.DOC", "/d/b.PDF", "/d/c.XLS", "/d/d.ppt", "/d/e.txt", "/d/f.xls", "/d/g.xls", "ab"},
        {No});

    EXPECT_EQ(bound(), (QStringList{"bind /d/a.DOC", "bind /d/c.XLS", "bind /d/d.ppt",
                                    "bind /d/e.txt", "bind /d/f.xls", "bind /d/g.xls", "bind ab"}))
        << "a PDF is never bound";
    const QString look = "pending /d/a.DOC";
    EXPECT_EQ(printed("/d/a.DOC"), (QStringList{"activate /d/a.DOC", "print /d/a.DOC", look,
                                                "yield", look, "yield", look, "close /d/a.DOC"}));
    EXPECT_EQ(executed(), (QStringList{"open /d/b.PDF @default", "print /d/b.PDF @2000s"}));
    for (const QString plain : {"/d/c.XLS", "/d/d.ppt", "/d/e.txt", "ab"})
        EXPECT_EQ(printed(plain), (QStringList{"print " + plain, "close " + plain}));
    EXPECT_EQ(printed("/d/f.xls"), (QStringList{"sheet count /d/f.xls", "print /d/f.xls sheet 1",
                                                "print /d/f.xls sheet 2", "close /d/f.xls"}));
    EXPECT_EQ(printed("/d/g.xls"), (QStringList{"sheet count /d/g.xls", "close /d/g.xls"}));
}

// --- the wait for background printing ------------------------------------------------------

TEST_F(BatchRunTest, EntriesAddedDuringTheWordWaitAreSavedButNotPrinted) {
    office.documents[QStringLiteral("/d/long.doc")].backgroundPending = {true, true, true, true,
                                                                         false};
    view.onYield = [&](int yieldNumber) {
        if (yieldNumber == 2)
            view.entries.append(QStringLiteral("/d/late.ppt"));
    };
    run({"/d/long.doc", "/d/next.ppt"}, {Yes});
    EXPECT_EQ(bound(), (QStringList{"bind /d/long.doc", "bind /d/next.ppt"}));
    EXPECT_EQ(view.savedBatches,
              (QList<QStringList>{{"/d/long.doc", "/d/next.ppt", "/d/late.ppt"}}));
}

TEST_F(BatchRunTest, EntriesRemovedDuringTheWordWaitAreNotPrinted) {
    office.documents[QStringLiteral("/d/long.doc")].backgroundPending = {true, false};
    view.onYield = [&](int) { view.entries = {QStringLiteral("/d/long.doc")}; };
    run({"/d/long.doc", "/d/b.ppt", "/d/c.ppt"}, {No});
    EXPECT_EQ(bound(), QStringList{"bind /d/long.doc"});
}

// --- the pending path and the save offer ---------------------------------------------------

TEST_F(BatchRunTest, APendingPathIsOfferedFirstAndSavedButNotPrintedWhenAdded) {
    for (const PromptAnswer addIt : {Yes, No}) {
        SCOPED_TRACE(addIt == Yes ? "added" : "declined");
        Bench bench;
        bench.view.pathBox = QStringLiteral("/d/typed.doc");
        bench.view.skipSave = true; // as after opening a batch file: the path changes the batch
        bench.run({"/d/a.ppt"}, {addIt, Yes});

        expectBox(bench.prompter, 0,
                  "The file /d/typed.doc has not been added to the list.\r\n"
                  "Would you like to add it?",
                  "Add File...", PromptButtons::YesNo, PromptIcon::Question);
        EXPECT_EQ(bench.prompter.titles(), (QStringList{"Add File...", "Save batch..."}));
        EXPECT_LT(bench.journal.indexOf("box Add File..."), bench.journal.indexOf("show progress"));
        EXPECT_EQ(bench.bound(), QStringList{"bind /d/a.ppt"});
        EXPECT_EQ(bench.view.total, 1) << "the total was fixed before the path was added";
        EXPECT_EQ(
            bench.view.savedBatches.value(0),
            (addIt == Yes ? QStringList{"/d/a.ppt", "/d/typed.doc"} : QStringList{"/d/a.ppt"}));
    }
}

TEST_F(BatchRunTest, TheSaveOfferFollowsSkipSaveOffer) {
    run({"/d/a.ppt", "/d/b.doc"}, {Yes});
    expectBox(prompter, 0, "Would you like to save this batch for printing at a later date?",
              "Save batch...", PromptButtons::YesNo, PromptIcon::Question);
    EXPECT_EQ(afterBox("Save batch..."), (QStringList{"box Save batch...", "save batch", "ready"}));
    EXPECT_EQ(view.savedBatches, (QList<QStringList>{{"/d/a.ppt", "/d/b.doc"}}));

    view.skipSave = true; // an opened batch printed as it stands is not offered again
    run({"/d/a.ppt", "/d/b.doc"}, {});
    run({"/d/a.ppt"}, {No});
    EXPECT_EQ(view.savedBatches.size(), 1);
}

// --- entries that cannot be used -----------------------------------------------------------

TEST_F(BatchRunTest, AnEntryThatCannotBeUsedAsksWhetherToGoOn) {
    // Put into a command, this path would end the quoted argument and add a command.
    const QString quoted = QStringLiteral("/d/x\")][FileExit()][DocOpen(\"y.pdf");
    struct Case {
        QString entry;
        long bindFailure; // 0: a PDF entry
        bool goOn;
    };
    for (const Case& c : {Case{"/d/gone.doc", ErrorNumber::CannotBind, true},
                          Case{"/d/gone.xls", ErrorNumber::ObjectNotFound, false},
                          Case{quoted, 0, true}, Case{quoted, 0, false}}) {
        SCOPED_TRACE(c.entry.toStdString() + (c.goOn ? " go on" : " stop"));
        Bench bench;
        if (c.bindFailure != 0)
            bench.office.fail("bind " + c.entry, AppError(c.bindFailure, "unavailable"));
        bench.run({"/d/a.ppt", c.entry, "/d/ok.pdf"}, c.goOn ? Answers{Yes, Yes} : Answers{No});

        const QString message = c.entry + " is not a valid file. ";
        expectBox(bench.prompter, 0, message + " Do you wish to continue?",
                  "File does not exist...", PromptButtons::YesNo, PromptIcon::Question);
        EXPECT_EQ(bench.afterBox("File does not exist...", 2).mid(0, 2),
                  (QStringList{"status " + message, "repaint"}));
        EXPECT_EQ(bench.journal.starting("start ").size(), c.goOn ? 1 : 0);
        EXPECT_EQ(bench.executed(),
                  (c.goOn ? QStringList{"open /d/ok.pdf @default", "print /d/ok.pdf @2000s"}
                          : QStringList{}));
        EXPECT_EQ(bench.view.savedBatches.size(), c.goOn ? 1 : 0);
    }
}

// --- failures that end the run -------------------------------------------------------------

TEST_F(BatchRunTest, NoDefaultPrinterClosesTheDocumentAndEndsTheRun) {
    struct Case {
        const char* failing;
        bool closeFails;
        QStringList afterBox;
    };
    const QStringList closed{"close /d/b.doc", "release /d/b.doc"};
    for (const Case& c : {Case{"print /d/b.doc", false, closed},
                          Case{"print /d/b.doc", true, closed}, Case{"bind /d/b.doc", false, {}}}) {
        SCOPED_TRACE(c.failing + std::string(c.closeFails ? ", and Close" : ""));
        Bench bench;
        bench.office.fail(c.failing, AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
        if (c.closeFails)
            bench.office.fail("close /d/b.doc", AppError(ErrorNumber::AutomationError, "no"));
        bench.run({"/d/a.ppt", "/d/b.doc", "/d/c.ppt"}, {Ok});
        EXPECT_EQ(bench.prompter.boxes.size(), 1u);
        expectBox(bench.prompter, 0,
                  "There is no default printer set up.  You must have a default printer to use "
                  "this utility",
                  "No default printer...", PromptButtons::Ok, PromptIcon::Exclamation);
        EXPECT_EQ(bench.afterBox("No default printer...").mid(1), QStringList(c.afterBox)
                                                                      << "ready");
    }
}

TEST_F(BatchRunTest, AnyOtherFailureIsReportedWithItsNumberAndEndsTheRunWhereItHappened) {
    const auto error = [](auto e) { return std::make_exception_ptr(e); };
    const QString printOut = QStringLiteral("print /d/2.doc");
    const QStringList afterPrintOut{"print /d/2.doc", "box Error...", "release /d/2.doc"};
    struct Case {
        QString entry;
        Script script;
        QString failing;
        std::exception_ptr error;
        QString shown; // the start of the text
        QStringList aroundBox;
    };
    const Case cases[] = {
        {"/d/2.doc", Script{}, printOut, error(AppError(440, "Jammed.")), "Error: 440\r\nJammed.",
         afterPrintOut},
        {"/d/2.doc", Script{}, printOut, error(AppError(-2147417848, "Gone.")),
         "Error: -2147417848\r\nGone.", afterPrintOut},
        {"/d/2.doc", Script{}, "bind /d/2.doc", error(std::runtime_error("The bridge went away.")),
         "Error: 51\r\nThe bridge went away.", QStringList{"bind /d/2.doc", "box Error..."}},
        {"/d/2.doc", Script{}, "bind /d/2.doc", error(std::bad_alloc()),
         "Error: 7\r\nOut of memory", QStringList{"bind /d/2.doc", "box Error..."}},
        {"/d/2.doc", Script{}, "pending /d/2.doc", error(AppError(440, "Gone.")),
         "Error: 440\r\nGone.",
         QStringList{"pending /d/2.doc", "box Error...", "release /d/2.doc"}},
        {"/d/2.xls", Script{40000}, QString(), nullptr, "Error: 6\r\n",
         QStringList{"sheet count /d/2.xls", "box Error...", "release /d/2.xls"}},
        {"/d/2.xls", Script{3}, "print /d/2.xls sheet 2", error(AppError(440, "Sheet 2.")),
         "Error: 440\r\nSheet 2.",
         QStringList{"print /d/2.xls sheet 2", "box Error...", "release /d/2.xls"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        Bench bench;
        bench.office.documents[c.entry] = c.script;
        if (c.error)
            bench.office.failures[c.failing] = c.error;
        bench.run({"/d/1.ppt", c.entry, "/d/3.ppt"}, {Ok});
        EXPECT_EQ(bench.prompter.titles(), QStringList{"Error..."}) << "and no save offer";
        const QString& text = bench.prompter.boxes[0].text;
        EXPECT_TRUE(text.startsWith(c.shown) && text.endsWith(Terminated)) << text.toStdString();
        EXPECT_EQ(bench.afterBox("Error...", 1), QStringList(c.aroundBox) << "ready");
    }
}

TEST_F(BatchRunTest, AListBeyondSixteenBitsOverflowsBeforeAnythingPrints) {
    QStringList entries;
    for (int i = 0; i < 32768; ++i)
        entries.append(QStringLiteral("/d/%1.ppt").arg(i));
    run(entries, {Ok});
    EXPECT_EQ(prompter.titles(), QStringList{"Error..."});
    EXPECT_TRUE(prompter.boxes[0].text.startsWith("Error: 6\r\n"));
    EXPECT_TRUE(bound().isEmpty());
}

// --- PDF entries ---------------------------------------------------------------------------

TEST_F(BatchRunTest, PdfsWithoutAProgramPathAreReportedOneByOneAndOfficeEntriesStillPrint) {
    settings.set(AcrobatKey, QString());
    run({"/d/1.pdf", "/d/a.ppt", "/d/2.pdf", "/d/3.PDF"}, {Ok, Ok, Ok});
    EXPECT_EQ(prompter.titles(), QStringList(3, "Cannot print...")) << "and no save offer";
    expectBox(prompter, 2,
              "Cannot print /d/3.PDF\r\nAcrobat has not been properly set up.\r\n"
              "Please use \"File -> Locate Acrobat\" before trying to print .pdf files",
              "Cannot print...", PromptButtons::Ok, PromptIcon::Information);
    EXPECT_TRUE(journal.starting("start ").isEmpty());
    EXPECT_TRUE(journal.starting("connect").isEmpty());
    EXPECT_EQ(bound(), QStringList{"bind /d/a.ppt"});
}

TEST_F(BatchRunTest, EachPdfIsOpenedAndPrintedOverItsOwnConnectionAfterOneStartPerRun) {
    const QString spaced = QStringLiteral("/home/a b/My File.PDF");
    run({spaced, "/d/a.ppt", "/d/2.pdf"}, {No});
    EXPECT_EQ(journal.lines.mid(journal.indexOf("start " + Acrobat), 5),
              (QStringList{"start " + Acrobat, "connect", "open " + spaced + " @default",
                           "print " + spaced + " @2000s", "disconnect"}));

    run({"/d/3.pdf", "/d/4.pdf"}, {No});
    EXPECT_EQ(journal.starting("start ").size(), 2) << "once in each run";
    EXPECT_EQ(journal.starting("connect").size(), 4);
    EXPECT_FALSE(pdfServer.connected);
    EXPECT_EQ(clock.sleeps, 0) << "a program that answers at once is not waited for";
    // The long time-out, once set by the first print command, stays set, also across runs.
    EXPECT_EQ(executed().filter(" @2000s").size(), 7);
}

TEST_F(BatchRunTest, AJustStartedProgramIsWaitedForWhileTheWindowStaysPainted) {
    pdfServer.unansweredConnects = 6;
    run({"/d/1.pdf"}, {No});
    EXPECT_EQ(prompter.titles(), QStringList{"Save batch..."});
    EXPECT_EQ(executed().size(), 2);
    EXPECT_EQ(settings.get(AcrobatKey), Acrobat);
    EXPECT_EQ(clock.sleeps, 6);
    EXPECT_EQ(journal.lines.mid(journal.indexOf("start " + Acrobat)).count("repaint"), 6);
}

TEST_F(BatchRunTest, AProgramThatDoesNotAnswerIsForgottenAndLocateIsOffered) {
    for (const bool silentFromTheStart : {true, false}) {
        SCOPED_TRACE(silentFromTheStart ? "after its start" : "later in the run: one restart");
        Bench bench;
        bench.settings.set(QStringLiteral("Quirepress/Settings/AcroCancelled"), "1");
        if (silentFromTheStart)
            bench.pdfServer.unansweredConnects = -1;
        else // the server goes away between the first PDF and the second
            bench.office.onOpen = [&](const QString&) { bench.pdfServer.unansweredConnects = -1; };
        bench.run({"/d/1.pdf", "/d/a.ppt", "/d/2.pdf", "/d/b.ppt"}, {Ok});

        // Either way it had its start-up wait once before it was taken for missing.
        EXPECT_GE(bench.clock.slept, 30s);
        EXPECT_LE(bench.clock.slept, 31s);
        expectBox(bench.prompter, 0,
                  "There was a problem with finding Acrobat. Please select Locate Acrobat "
                  "from the File menu.",
                  "Problem with acrobat...", PromptButtons::Ok, PromptIcon::Exclamation);
        EXPECT_EQ(bench.afterBox("Problem with acrobat...", 1).first(), "show locate acrobat");
        EXPECT_EQ(bench.prompter.boxes.size(), 1u);
        EXPECT_EQ(bench.settings.get(AcrobatKey), QString());
        EXPECT_EQ(bench.settings.get(QStringLiteral("Quirepress/Settings/AcroCancelled")), "0");
        EXPECT_EQ(bench.journal.starting("start ").size(), silentFromTheStart ? 1 : 2);
        EXPECT_FALSE(bench.journal.lines.contains("bind /d/b.ppt"));
    }
}

TEST_F(BatchRunTest, ForgettingTheProgramThatCannotBeWrittenIsReportedToo) {
    pdfServer.unansweredConnects = -1;
    settings.failWrites = true;
    run({"/d/1.pdf"}, {Ok, Ok});
    EXPECT_EQ(prompter.titles(), (QStringList{"Problem with acrobat...", "Error..."}));
    EXPECT_TRUE(prompter.boxes[1].text.startsWith("Error: 70\r\nSettings cannot be written."));
    EXPECT_TRUE(journal.lines.contains("show locate acrobat"));
}

TEST_F(BatchRunTest, AProgramThatCannotBeStartedEndsTheRunAndIsTriedAgainNextRun) {
    starter.failure = AppError(ErrorNumber::ProgramNotStarted, "File not found");
    run({"/d/1.pdf", "/d/2.pdf"}, {Ok});
    expectBox(prompter, 0, "Error: 53\r\nFile not found" + Terminated, "Error...",
              PromptButtons::Ok, PromptIcon::Critical);
    EXPECT_EQ(settings.get(AcrobatKey), Acrobat) << "only a server that does not answer forgets it";

    starter.failure.reset();
    run({"/d/1.pdf"}, {No});
    EXPECT_EQ(journal.starting("start ").size(), 2);
    EXPECT_EQ(executed().size(), 2);
}

TEST_F(BatchRunTest, ARefusedOrTimedOutCommandEndsTheRunAndTheNextPdfEndsTheLink) {
    struct Case {
        QString command;
        AppError error;
        QString shown;
        int sent;
    };
    for (const Case& c : {Case{"open", AppError(ErrorNumber::ConversationRefused, "Refused."),
                               "Error: 285\r\nRefused.", 1},
                          Case{"print", AppError(ErrorNumber::ConversationTimeout, "Too slow."),
                               "Error: 286\r\nToo slow.", 2}}) {
        SCOPED_TRACE(c.command.toStdString());
        Bench bench;
        bench.pdfServer.refusals.emplace(c.command, c.error);
        bench.run({"/d/1.pdf", "/d/2.pdf"}, {Ok});
        expectBox(bench.prompter, 0, c.shown + Terminated, "Error...", PromptButtons::Ok,
                  PromptIcon::Critical);
        EXPECT_EQ(bench.executed().size(), c.sent);
        EXPECT_TRUE(bench.pdfServer.connected) << "left open until the next PDF entry";

        bench.pdfServer.refusals.clear();
        bench.journal.lines.clear();
        bench.run({"/d/3.pdf"}, {No}); // the fake fails a connect while connected
        EXPECT_EQ(bench.journal.starting("disconnect").size(), 2)
            << "the old connection, then the new one";
        EXPECT_EQ(bench.executed().size(), 2);
    }
}

} // namespace
} // namespace qp::test
