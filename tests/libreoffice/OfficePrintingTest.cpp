// Office documents printed by a real LibreOffice into the private CUPS server, and their errors;
// then the real-world documents of the corpus, end to end.

#include "OfficeTestSupport.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <csignal>
#include <thread>

namespace qp::test {
namespace {

using OfficePrinting = OfficeSuite;

// Each worksheet alone in index order, then the whole workbook as a document; neither way
// of printing may leave the workbook set up for the other. A hidden worksheet prints nothing,
// and no other sheet in its place.
TEST_F(OfficePrinting, WorkbookPrintsSheetBySheetOrWhole) {
    for (const auto& [path, indexes, expected] :
         {std::tuple{fixtures->file("LOUD BOOK.XLS", fileBytes(fixtures->xls())),
                     QList{1, 2, 3, 0, 2},
                     QStringList{"1 ALPHA", "1 BETA", "1 GAMMA", "3 ALPHA BETA GAMMA", "1 BETA"}},
          std::tuple{fixtures->xlsHidingBeta(), QList{1, 2, 3},
                     QStringList{"1 ALPHA", "1 GAMMA"}}}) {
        auto book = office->open(path);
        ASSERT_EQ(book->sheetCount(), 3);
        for (int index : indexes) // 0: the whole workbook
            index > 0 ? book->printSheet(index) : book->print();
        book->close();
        sendJobs(*office);
        EXPECT_EQ(pagesAndSheets(newJobs(expected.size())), expected);
    }
}

TEST_F(OfficePrinting, ErrorsOfPathsDocumentsSheetsAndPrinters) {
    QTemporaryDir dir;
    QByteArray noise(20000, '\0');
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    for (const QString& path :
         {dir.filePath("missing.doc"), dir.path(), fixtures->file("empty.doc", {}),
          fixtures->file("noise.doc", noise), fixtures->file("noise.ppt", noise),
          fixtures->file("notes.xls", "a line of text\n")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(failureOf([&] { office->open(path); }).number(), ErrorNumber::CannotBind);
    }
    auto document = office->open(fixtures->doc());
    auto book = office->open(fixtures->xls());
    EXPECT_EQ(office->openDocumentCount(), 2);
    EXPECT_EQ(failureOf([&] { document->sheetCount(); }).number(), ErrorNumber::MemberNotSupported);
    EXPECT_EQ(failureOf([&] { document->printSheet(1); }).number(),
              ErrorNumber::MemberNotSupported);
    for (int outside : {0, 4})
        EXPECT_EQ(failureOf([&] { book->printSheet(outside); }).number(),
                  ErrorNumber::SubscriptOutOfRange);
    // The default printer is looked up before anything is printed, a worksheet too.
    cups->clearDefault();
    EXPECT_EQ(failureOf([&] { book->printSheet(1); }).number(), ErrorNumber::NoDefaultPrinter);
    cups->setDefault(queue);
    book->close();
    EXPECT_EQ(failureOf([&] { book->print(); }).number(), ErrorNumber::AutomationError);
    document.reset(); // without closing it, as after a sequence that failed half way
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

// A queue that takes no jobs is found before the office renders anything (here an office
// stopped for three seconds); a stopped queue keeps the job.
TEST_F(OfficePrinting, QueueNotAcceptingJobsIsFoundBeforeRenderingAndAStoppedOneKeepsTheJob) {
    cups->setAccepting(queue, false);
    auto document = office->open(fixtures->doc());
    const auto group = static_cast<pid_t>(office->officeProcessGroup());
    ::kill(-group, SIGSTOP);
    std::thread waker([group] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        ::kill(-group, SIGCONT);
    });
    QElapsedTimer timer;
    timer.start();
    const AppError error = failureOf([&] { document->print(); });
    EXPECT_LT(timer.elapsed(), 2000);
    waker.join();
    EXPECT_EQ(error.number(), ErrorNumber::AutomationError);
    EXPECT_EQ(error.description(),
              QString("Cannot print %1 on %2: Destination \"%2\" is not accepting jobs.")
                  .arg(fixtures->doc(), queue));
    cups->setAccepting(queue, true);
    cups->setEnabled(queue, false);
    office->open(fixtures->doc())->print();
    sendJobs(*office);
    EXPECT_EQ(cups->pendingJobs(queue), 1);
    cups->setEnabled(queue, true);
    newJobs(1);
}

TEST_F(OfficePrinting, QueueRemovedWhileTheOfficePrintsFailsTheEntry) {
    const QString path = fixtures->longDoc(300);
    auto document = office->open(path);
    document->print();
    sendJobs(*office);
    newJobs(1);
    const auto group = static_cast<pid_t>(office->officeProcessGroup());
    // The queue goes while the office renders, after the print has chosen it, and the job
    // finds it gone when it is sent. The adapter's
    // calls hold the thread that makes them (the office's own in the program).
    ::kill(-group, SIGSTOP);
    std::thread remover([group] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        cups->removeQueue(queue);
        ::kill(-group, SIGCONT);
    });
    const AppError error = failureOf([&] {
        document->print();
        sendJobs(*office);
    });
    remover.join();
    cups->addKeepingQueue(queue, true);
    EXPECT_EQ(error.number(), ErrorNumber::AutomationError);
    EXPECT_EQ(error.description(),
              QString("Cannot print %1 on %2: The printer or class \"%2\" does not exist.")
                  .arg(path, queue));
    newJobs(0);
}

TEST_F(OfficePrinting, CorpusPrintsWithTheManifestsPageCountOrCannotBeBound) {
    int documents = 0;
    for (const CorpusDocument& expected : corpus()) {
        if (expected.kind == "pdf")
            continue;
        ++documents;
        SCOPED_TRACE(expected.path.toStdString());
        if (expected.locked || expected.textOnly) {
            EXPECT_EQ(failureOf([&] { office->open(expected.path); }).number(),
                      ErrorNumber::CannotBind);
            continue;
        }
        auto document = office->open(expected.path);
        if (expected.kind == "xls") {
            EXPECT_EQ(document->sheetCount(), expected.worksheets);
        }
        if (expected.kind == "doc")
            document->activate();
        document->print(); // the whole document as one job: its page count is the manifest's
        document->close();
        sendJobs(*office);
        const int pages = pdfPages(newJobs(1, 120000).value(0));
        // The manifest was made with other fonts and paper; then the office's own conversion
        // of the file is the count to meet.
        const int exported =
            pages == expected.pages ? pages : pdfPages(fixtures->convert(expected.path, "pdf"));
        EXPECT_LE(std::abs(pages - exported), std::max(2, exported / 20))
            << "printed " << pages << " pages, the manifest says " << expected.pages
            << ", the office converts to " << exported;
        EXPECT_EQ(office->openDocumentCount(), 0);
    }
    EXPECT_EQ(documents, 45) << "the corpus is missing or incomplete at QP_CORPUS_DIR";
}

} // namespace
} // namespace qp::test
