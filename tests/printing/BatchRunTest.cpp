#include "printing/BatchRun.h"
#include "printing/PromptedRunReport.h"
#include "support/Fakes.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <new>
#include <stdexcept>

namespace qp::test {
namespace {

const QString Save =
    "box Save batch...: Would you like to save this batch for printing at a later date?";
const QString Locate = "show locate | box Problem with acrobat...: There was a problem with "
                       "finding Acrobat. Please select Locate Acrobat from the File menu.";
const QString Forgotten = "Acrobat= | AcroCancelled=0 | " + Locate;
const QString NoPrinter = "box No default printer...: There is no default printer set up.  You "
                          "must have a default printer to use this utility";

QString notValid(const QString& entry, const QString& why) {
    return "box File does not exist...: " + entry +
           " is not a valid file.  Do you wish to continue? [" + why + "]";
}
QString error(const QString& numberAndText) {
    return "box Error...: Error: " + numberAndText +
           "\r\nAs a result the batch will be terminated.";
}

// A batch run with fakes behind every seam, all writing into one journal.
struct Bench {
    Bench() {
        view.journal = prompter.journal = settings.journal = &journal;
        settings.set("Quirepress/Settings/Acrobat", "/acro");
        batch.pdfPrinter().setStartupAnswerWait(StartupWait);
    }
    // Runs entries (split at blanks) answering each box in turn (Y, N or O for OK), and returns
    // the journal, a line repeated in a row once.
    QString run(const QString& entries, const char* answers, bool stopAtOnce = false) {
        if (!entries.isEmpty())
            view.entries = entries.split(' ');
        for (; *answers; ++answers)
            prompter.script(*answers == 'Y'   ? PromptAnswer::Yes
                            : *answers == 'N' ? PromptAnswer::No
                                              : PromptAnswer::Ok);
        journal.clear();
        QSignalSpy finished(&batch, &BatchRun::finished);
        batch.start();
        if (stopAtOnce)
            batch.requestStop();
        if (batch.isRunning()) {
            EXPECT_TRUE(finished.wait(10000)) << "the run did not end";
        }
        EXPECT_FALSE(batch.isRunning());
        EXPECT_EQ(office.liveDocuments, 0) << "a document was not let go";
        EXPECT_TRUE(prompter.allAnswersUsed()) << "a scripted answer was never asked for";
        QStringList kept;
        for (const QString& line : journal)
            if (kept.isEmpty() || kept.last() != line)
                kept << line;
        return kept.join(" | ");
    }

    QStringList journal;
    ListRunView view;
    FakePrompter prompter;
    FakeSettingsStore settings;
    FakeOffice office{journal};
    FakePdfProgram pdf{journal};
    PromptedRunReport report{prompter};
    BatchRun batch{view, report, settings, office, pdf, pdf};
    static constexpr std::chrono::milliseconds StartupWait{600};
};

TEST(BatchRun, PrintsEachKindItsOwnWayAndEndsAsEachFailureDemands) {
    const auto failAt = [](const QString& line, auto error) {
        return [=](Bench& b) { b.office.fail(line, error); };
    };
    const auto silentServer = [](int connects) {
        return [=](Bench& b) { b.pdf.unansweredConnects = connects; };
    };
    const auto serverLeaves = [](int connects) { // when the next Office entry is opened
        return [=](Bench& b) {
            b.office.onOpen = [&b, connects] { b.pdf.unansweredConnects = connects; };
        };
    };
    const auto typed = [](Bench& b) {
        b.view.skip = true; // as after opening a batch file
        b.view.pathBox = "/t.doc";
    };
    const QString addOffer = "box Add File...: The file /t.doc has not been added to the "
                             "list.\r\nWould you like to add it?";
    const QString pdf =
        "start /acro | connect | open /1.pdf @default | print /1.pdf @2000s | disconnect";
    const QString word =
        "bind /w.doc | activate /w.doc | print /w.doc | pending /w.doc | close /w.doc";
    const QString noPrinter =
        "bind /a.doc | activate /a.doc | print /a.doc | close /a.doc | " + NoPrinter + " | ready";
    const QString a = "bind /a.ppt | print /a.ppt | close /a.ppt";
    const std::function<void(Bench&)> nothing = [](Bench&) {};
    const struct {
        const char* what;
        QString entries;
        const char* answers;
        std::function<void(Bench&)> arrange;
        QString journal;
    } rows[] = {
        {"an empty list, even with a typed path", "", "", typed, ""},
        {"each kind", "/w.DOC /1.PDF /c.XLS /d.ppt /e.xls", "N", nothing,
         "bind /w.DOC | activate /w.DOC | print /w.DOC | pending /w.DOC | close /w.DOC | start "
         "/acro | connect | open /1.PDF @default | print /1.PDF @2000s | "
         "disconnect | bind /c.XLS | print /c.XLS | close /c.XLS | bind /d.ppt | print /d.ppt | "
         "close /d.ppt | bind /e.xls | sheets /e.xls | sheet 1 | sheet 2 | close /e.xls | " +
             Save + " | ready"},
        {"entries removed meanwhile are not printed", "/w.doc /b.ppt", "N",
         [](Bench& b) { b.office.onOpen = [&b] { b.view.entries.removeLast(); }; },
         word + " | " + Save + " | ready"},
        {"a typed path added", "/a.ppt", "YY", typed,
         addOffer + " | " + a + " | " + Save + " | save /a.ppt, /t.doc | ready"},
        {"a typed path declined, which changes the batch too", "/a.ppt", "NY", typed,
         addOffer + " | " + a + " | " + Save + " | save /a.ppt | ready"},
        {"an opened batch", "/a.ppt", "", [](Bench& b) { b.view.skip = true; }, a + " | ready"},
        {"unusable entries, going on", "/gone.doc /q\".pdf /b.ppt", "YYN",
         [](Bench& b) {
             b.office.fail("bind /gone.doc", AppError(ErrorNumber::CannotBind, "unavailable"));
             b.pdf.printFailure = AppError(ErrorNumber::CannotBind, "damaged");
         },
         "bind /gone.doc | " + notValid("/gone.doc", "unavailable") +
             " | start /acro | connect | open /q\".pdf @default | print /q\".pdf @2000s | " +
             notValid("/q\".pdf", "damaged") + " | bind /b.ppt | print /b.ppt | close /b.ppt | " +
             Save + " | ready"},
        {"an unusable entry, stopping", "/gone.xls /b.ppt", "N",
         failAt("bind /gone.xls", AppError(ErrorNumber::CannotBind, "unavailable")),
         "bind /gone.xls | " + notValid("/gone.xls", "unavailable") + " | ready"},
        {"no default printer", "/a.doc /b.ppt", "O",
         failAt("print /a.doc", AppError(ErrorNumber::NoDefaultPrinter, "none")), noPrinter},
        {"no default printer, and closing fails", "/a.doc /b.ppt", "O",
         [](Bench& b) {
             b.office.fail("print /a.doc", AppError(ErrorNumber::NoDefaultPrinter, "none"));
             b.office.fail("close /a.doc", AppError(ErrorNumber::AutomationError, "gone"));
         },
         noPrinter},
        {"a failing call", "/a.ppt /b.ppt", "O",
         failAt("print /a.ppt", AppError(ErrorNumber::AutomationError, "Jammed.")),
         "bind /a.ppt | print /a.ppt | " + error("440\r\nJammed.") + " | ready"},
        {"a library's own exception", "/a.ppt", "O",
         failAt("bind /a.ppt", std::runtime_error("The bridge went away.")),
         "bind /a.ppt | " + error("51\r\nThe bridge went away.") + " | ready"},
        {"out of memory", "/a.ppt", "O", failAt("bind /a.ppt", std::bad_alloc()),
         "bind /a.ppt | " + error("7\r\nOut of memory") + " | ready"},
        {"too many worksheets", "/a.xls", "O", [](Bench& b) { b.office.sheets = 40000; },
         "bind /a.xls | sheets /a.xls | " + error("6\r\nOverflow") + " | ready"},
        {"PDFs without a program", "/1.pdf /a.ppt", "O",
         [](Bench& b) { b.settings.set("Quirepress/Settings/Acrobat", QString()); },
         "box Cannot print...: Cannot print /1.pdf\r\nAcrobat has not been properly set "
         "up.\r\nPlease use \"File -> Locate Acrobat\" before trying to print .pdf files | " +
             a + " | ready"},
        {"a just started program answers late", "/1.pdf", "N", silentServer(2),
         QString(pdf).replace(" | connect", " | no answer | connect") + " | " + Save + " | ready"},
        {"a program that never answers", "/1.pdf /a.ppt", "O", silentServer(-1),
         "start /acro | no answer | " + Forgotten + " | ready"},
        {"a program that ends before it answers", "/1.pdf", "O",
         [](Bench& b) {
             b.pdf.unansweredConnects = -1;
             b.pdf.ended = true;
         },
         "start /acro | no answer | " + Forgotten + " | ready"},
        {"a program that left is started again", "/1.pdf /a.ppt /2.pdf", "N", serverLeaves(1),
         pdf + " | " + a +
             " | no answer | start /acro | connect | open /2.pdf @2000s | print /2.pdf @2000s | "
             "disconnect | " +
             Save + " | ready"},
        {"a program that left and does not come back", "/1.pdf /a.ppt /2.pdf", "O",
         serverLeaves(-1),
         pdf + " | " + a + " | no answer | start /acro | no answer | " + Forgotten + " | ready"},
        {"forgetting the program fails", "/1.pdf", "OO",
         [](Bench& b) {
             b.pdf.unansweredConnects = -1;
             b.settings.failWrites = true;
         },
         "start /acro | no answer | " + Locate + " | " +
             error("70\r\nSettings cannot be written.") + " | ready"},
        {"a program that cannot be started", "/1.pdf", "O",
         [](Bench& b) {
             b.pdf.startFailure = AppError(ErrorNumber::ProgramNotStarted, "Not found");
         },
         "start /acro | " + error("53\r\nNot found") + " | ready"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Bench b;
        row.arrange(b);
        EXPECT_EQ(b.run(row.entries, row.answers), row.journal);
    }
}

// A stop lets the entry under way finish, a PDF whose answer never comes for StopGrace;
// nothing after it prints, and nothing is offered.
TEST(BatchRun, StopsAfterTheEntryUnderWay) {
    Bench office;
    EXPECT_EQ(office.run("/a.ppt /b.ppt", "", true),
              "bind /a.ppt | print /a.ppt | close /a.ppt | ready");
    for (const bool silent : {false, true}) {
        Bench pdf;
        pdf.pdf.silentPrint = silent;
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(pdf.run("/1.pdf /b.ppt", "", true),
                  "start /acro | connect | open /1.pdf @default | print /1.pdf @2000s | "
                  "disconnect | ready");
        EXPECT_EQ(timer.elapsed() >= BatchRun::StopGrace.count() * 9 / 10, silent)
            << timer.elapsed();
    }
    // A PDF program found silent after a stop is forgotten all the same, without a box.
    Bench silent;
    silent.pdf.unansweredConnects = -1;
    silent.pdf.ended = true;
    silent.view.onStatus = [&] { silent.batch.requestStop(); };
    EXPECT_EQ(silent.run("/1.pdf /b.ppt", ""),
              "start /acro | no answer | Acrobat= | AcroCancelled=0 | show locate | ready");
}

} // namespace
} // namespace qp::test
