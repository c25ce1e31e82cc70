// Word, Excel and PowerPoint sequences printed by a real LibreOffice into the private CUPS
// server, and their errors; a queue that refuses, loses or holds the job is told apart from a
// printed document, whatever the office's own return from printing says.

#include "OfficeTestSupport.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <csignal>

namespace qp::test {
namespace {

using OfficePrinting = OfficeSuite;

// Which of the fixture workbook's sheets (0-based) a printed job shows.
QList<int> sheetsIn(const QString& job) {
    QList<int> sheets;
    for (int i = 0; i < OfficeFixtures::sheetMarks.size(); ++i)
        if (pdfText(job).contains(OfficeFixtures::sheetMarks[i]))
            sheets << i;
    return sheets;
}

// Every entry shares the one office and leaves nothing loaded.
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
        EXPECT_EQ(office->openDocumentCount(), 0);
    }
    const qint64 group = office->officeProcessGroup();
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

// Each worksheet alone in index order, then the whole workbook as a document; neither way
// of printing may leave the workbook set up for the other.
TEST_F(OfficePrinting, WorkbookPrintsSheetBySheetOrWhole) {
    {
        auto book = office->open(fixtures->copy(fixtures->xls(), "LOUD BOOK.XLS"));
        ASSERT_EQ(book->sheetCount(), 3);
        for (int index : {1, 2, 3, 0, 2}) // 0: the whole workbook
            index > 0 ? book->printSheet(index) : book->print();
        book->close();
    }
    const QStringList jobs = newJobs(5);
    const QList<QList<int>> sheets{{0}, {1}, {2}, {0, 1, 2}, {1}};
    for (int i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(pdfPages(jobs[i]), sheets[i].size()) << "job " << i;
        EXPECT_EQ(sheetsIn(jobs[i]), sheets[i]) << "job " << i;
    }
}

TEST_F(OfficePrinting, ErrorsOfPathsDocumentsSheetsAndPrinters) {
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
    auto document = office->open(fixtures->doc());
    auto book = office->open(fixtures->xls());
    const std::pair<long, std::function<void()>> cases[] = {
        {438, [&] { document->sheetCount(); }},
        {438, [&] { document->printSheet(1); }},
        {9, [&] { book->printSheet(4); }},
        {9, [&] { book->printSheet(0); }},
        // The default printer is looked up before anything is printed.
        {ErrorNumber::NoDefaultPrinter,
         [&] {
             cups->clearDefault();
             document->print();
         }},
        {ErrorNumber::NoDefaultPrinter, [&] { book->printSheet(1); }},
        {ErrorNumber::AutomationError,
         [&] {
             cups->setDefault(queue);
             book->close();
             book->print();
         }},
    };
    for (const auto& [number, action] : cases)
        EXPECT_EQ(failureOf(action).number(), number);
    document.reset();
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

// The workbook is refused before its first worksheet, so none of the three is printed; a
// stopped queue keeps the job.
TEST_F(OfficePrinting, QueueNotAcceptingJobsIsFoundBeforeRenderingAndAStoppedOneKeepsTheJob) {
    cups->setAccepting(queue, false);
    for (const QString& path : {fixtures->doc(), fixtures->xls(), fixtures->ppt()}) {
        auto document = office->open(path);
        QElapsedTimer timer;
        timer.start();
        const AppError error =
            failureOf([&] { path.endsWith("xls") ? document->printSheet(1) : document->print(); });
        // At once, not after the office rendered and CUPS was given seconds to confirm.
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_EQ(error.number(), 440);
        EXPECT_EQ(error.description(),
                  QString("Cannot print %1 on %2: Destination \"%2\" is not accepting jobs.")
                      .arg(path, queue));
    }
    cups->setAccepting(queue, true);
    cups->setEnabled(queue, false);
    office->open(fixtures->doc())->print();
    EXPECT_EQ(cups->pendingJobs(queue), 1);
    cups->setEnabled(queue, true);
    newJobs(1);
}

TEST_F(OfficePrinting, QueueRemovedWhileTheOfficePrintsFailsTheEntry) {
    // Long enough that the queue goes while the office renders, after it has chosen it.
    const QString path = fixtures->longDoc(300);
    auto document = office->open(path);
    // Once printed there, the document is laid out for the queue and renders at once.
    document->print();
    newJobs(1);
    const auto group = static_cast<pid_t>(office->officeProcessGroup());
    QTimer::singleShot(500, [&] {
        ::kill(-group, SIGSTOP);
        cups->removeQueue(queue);
        ::kill(-group, SIGCONT);
    });
    const AppError error = failureOf([&] { document->print(); });
    cups->addKeepingQueue(queue, true);
    EXPECT_EQ(error.number(), ErrorNumber::AutomationError);
    EXPECT_EQ(error.description(),
              QString("Cannot print %1 on %2: The printer or class \"%2\" does not exist.")
                  .arg(path, queue));
    newJobs(0);
}

} // namespace
} // namespace qp::test
