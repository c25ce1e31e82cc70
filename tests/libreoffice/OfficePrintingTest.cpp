// Word, Excel and PowerPoint sequences printed by a real LibreOffice into the private CUPS
// server, and Office entries on queues that refuse, lose or hold their job: the office's own
// return from printing is never taken for a printed document.

#include "OfficeTestSupport.h"
#include "platform/CupsPrinters.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "printing/BatchRun.h"
#include "support/ListRunView.h"

#include <QRandomGenerator>
#include <csignal>
#include <thread>

namespace qp::test {
namespace {

using OfficePrinting = OfficeSuite;

TEST_F(OfficePrinting, PlainSequencesPrintOneJobWithEveryPage) {
    for (const auto& [path, marks] :
         {std::pair{fixtures->doc(), QStringList{"QPWORD FIRST PAGE", "QPWORD SECOND PAGE"}},
          std::pair{fixtures->ppt(), QStringList{"QPSLIDE ONE", "QPSLIDE TWO"}}}) {
        SCOPED_TRACE(path.toStdString());
        auto document = office->open(path);
        document->activate();
        document->print();
        EXPECT_FALSE(document->backgroundPrintingPending());
        document->close();
        const QStringList jobs = newJobs(1);
        ASSERT_EQ(jobs.size(), 1);
        EXPECT_EQ(pdfPages(jobs[0]), 2);
        for (const QString& mark : marks)
            EXPECT_TRUE(pdfText(jobs[0]).contains(mark)) << mark.toStdString();
    }
}

// Each worksheet alone in index order, then the whole workbook as a document; neither way
// of printing may leave the workbook set up for the other.
TEST_F(OfficePrinting, WorkbookPrintsSheetBySheetOrWhole) {
    {
        auto book = office->open(fixtures->copy(fixtures->xls(), "LOUD BOOK.XLS"));
        ASSERT_EQ(book->sheetCount(), 3);
        for (int index = 1; index <= 3; ++index)
            book->printSheet(index);
        book->print();
        book->printSheet(2);
        book->close();
    }
    const QStringList jobs = newJobs(5);
    ASSERT_EQ(jobs.size(), 5);
    const QList<QList<int>> sheets{{0}, {1}, {2}, {0, 1, 2}, {1}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(pdfPages(jobs[i]), sheets[i].size()) << "job " << i;
        EXPECT_EQ(sheetsIn(jobs[i]), sheets[i]) << "job " << i;
    }
}

TEST_F(OfficePrinting, EntriesShareOneOfficeAndLeaveNothingLoaded) {
    office->open(fixtures->doc())->close();
    const qint64 group = office->officeProcessGroup();
    ASSERT_GT(group, 0);
    {
        // Released without being closed, as after a sequence that failed half way.
        auto first = office->open(fixtures->doc());
        auto second = office->open(fixtures->xls());
        EXPECT_EQ(office->openDocumentCount(), 2);
    }
    EXPECT_EQ(office->openDocumentCount(), 0);
    EXPECT_EQ(office->officeProcessGroup(), group);
    newJobs(0);
}

TEST_F(OfficePrinting, ErrorsOfPathsDocumentsAndSheets) {
    QTemporaryDir dir;
    QByteArray noise(20000, '\0');
    QRandomGenerator generator(42);
    for (char& byte : noise)
        byte = static_cast<char>(generator.bounded(256));
    for (const QString& path :
         {dir.filePath("missing.doc"), dir.path(), fixtures->file("empty.doc", {}),
          fixtures->file("noise.doc", noise), fixtures->file("noise.xls", noise),
          fixtures->file("noise.ppt", noise), fixtures->file("notes.xls", "a line of text\n")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(failureOf([&] { office->open(path); }).number(), ErrorNumber::CannotBind);
    }
    EXPECT_EQ(office->openDocumentCount(), 0);

    auto document = office->open(fixtures->doc());
    auto book = office->open(fixtures->xls());
    const std::pair<long, std::function<void()>> cases[] = {
        {438, [&] { document->sheetCount(); }},
        {438, [&] { document->printSheet(1); }},
        {9, [&] { book->printSheet(4); }},
        {9, [&] { book->printSheet(0); }},
        {ErrorNumber::AutomationError,
         [&] {
             book->close();
             book->print();
         }},
    };
    for (const auto& [number, action] : cases)
        EXPECT_EQ(failureOf(action).number(), number);
    newJobs(0);
}

TEST_F(OfficePrinting, NoDefaultPrinterRaises5140BeforeAnythingIsPrinted) {
    CupsPrinters printers;
    cups->addKeepingQueue("other", true);
    EXPECT_EQ(printers.requireDefaultDestination(), "other");
    cups->clearDefault();
    EXPECT_EQ(printers.defaultDestination(), QString());
    {
        auto document = office->open(fixtures->doc());
        EXPECT_EQ(failureOf([&] { document->print(); }).number(), ErrorNumber::NoDefaultPrinter);
        auto book = office->open(fixtures->xls());
        EXPECT_EQ(failureOf([&] { book->printSheet(1); }).number(), ErrorNumber::NoDefaultPrinter);
    }
    cups->setDefault(Queue);
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

class OfficeRefusal : public OfficeSuite {
protected:
    // The one message box a run of that entry shows, answered with the answer given.
    FakePrompter::Box runBatch(const QString& entry, PromptAnswer answer) {
        ListRunView view;
        view.entries = {entry};
        FakePrompter prompter;
        prompter.script(answer);
        QProcessProgramStarter starter;
        DBusPdfPrintServer pdfServer;
        BatchRun(view, prompter, settings, *office, starter, pdfServer).run();
        EXPECT_EQ(prompter.boxes.size(), 1u);
        return prompter.boxes.empty() ? FakePrompter::Box{} : prompter.boxes.back();
    }
};

TEST_F(OfficeRefusal, EntriesOnAQueueNotAcceptingJobsEndTheRunWithCupsReason) {
    cups->setAccepting(Queue, false);
    // The workbook is refused before its first worksheet, so none of the three is printed.
    for (const QString& path : {fixtures->doc(), fixtures->xls(), fixtures->ppt()}) {
        const FakePrompter::Box box = runBatch(path, PromptAnswer::Ok);
        EXPECT_EQ(box.title, "Error...");
        EXPECT_EQ(
            box.text.toStdString(),
            QString("Error: 440\r\nCannot print %1 on %2: Destination \"%2\" is not accepting "
                    "jobs.\r\nAs a result the batch will be terminated.")
                .arg(path, Queue)
                .toStdString());
    }
    cups->setAccepting(Queue, true);
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

TEST_F(OfficeRefusal, StoppedQueueKeepsTheJobAndTheRunEndsNormally) {
    cups->setEnabled(Queue, false);
    EXPECT_EQ(runBatch(fixtures->doc(), PromptAnswer::No).title, "Save batch...");
    EXPECT_EQ(cups->pendingJobs(Queue), 1);
    cups->setEnabled(Queue, true);
    newJobs(1);
}

TEST_F(OfficeRefusal, QueueRemovedWhileTheOfficePrintsFailsTheEntry) {
    // Long enough that the queue goes while the office renders, after it has chosen it.
    const QString path = fixtures->convert(
        fixtures->file("long.txt", QByteArray("QPLONG line of a long letter\n").repeated(12000)),
        "doc:MS Word 97");
    auto document = office->open(path);
    // Once printed there, the document is laid out for the queue and renders at once.
    document->print();
    newJobs(1);
    const auto group = static_cast<pid_t>(office->officeProcessGroup());
    std::thread remover([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ::kill(-group, SIGSTOP);
        cups->removeQueue(Queue);
        ::kill(-group, SIGCONT);
    });
    const AppError error = failureOf([&] { document->print(); });
    remover.join();
    cups->addKeepingQueue(Queue, true);
    EXPECT_EQ(error.number(), ErrorNumber::AutomationError);
    EXPECT_EQ(error.description(),
              QString("Cannot print %1 on %2: The printer or class \"%2\" does not exist.")
                  .arg(path, Queue));
    newJobs(0);
}

} // namespace
} // namespace qp::test
