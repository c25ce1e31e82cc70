#include "OfficeTestSupport.h"
#include "core/AppError.h"
#include "platform/libreoffice/LibreOfficeAutomation.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QDir>
#include <QRandomGenerator>

#include <gtest/gtest.h>
#include <memory>

namespace qp::test {
namespace {

const QString Queue = QStringLiteral("office");

// One CUPS server, one set of fixtures and one office for the whole suite: the office is
// meant to be kept from entry to entry, and the tests check that too.
class OfficePrinting : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        cups = new PrivateCups;
        cups->addKeepingQueue(Queue, true);
        fixtures = new OfficeFixtures;
        settings = new FakeSettingsStore;
        office = new LibreOfficeAutomation(*settings);
    }
    static void TearDownTestSuite() {
        delete office;
        delete settings;
        delete fixtures;
        delete cups;
    }
    void SetUp() override { m_jobsBefore = cups->jobFiles(Queue).size(); }

    // The jobs this test added, once there are that many; fails on too few or too many.
    QStringList newJobs(int expected) {
        EXPECT_TRUE(cups->waitForJobs(Queue, m_jobsBefore + expected, 60000))
            << cups->log().toStdString();
        const QStringList all = cups->jobFiles(Queue);
        EXPECT_EQ(all.size(), m_jobsBefore + expected);
        return all.mid(m_jobsBefore);
    }

    static void expectError(long number, const std::function<void()>& action) {
        try {
            action();
            ADD_FAILURE() << "no error, expected " << number;
        } catch (const AppError& error) {
            EXPECT_EQ(error.number(), number) << error.what();
        }
    }

    static PrivateCups* cups;
    static OfficeFixtures* fixtures;
    static FakeSettingsStore* settings;
    static LibreOfficeAutomation* office;
    int m_jobsBefore = 0;
};

PrivateCups* OfficePrinting::cups = nullptr;
OfficeFixtures* OfficePrinting::fixtures = nullptr;
FakeSettingsStore* OfficePrinting::settings = nullptr;
LibreOfficeAutomation* OfficePrinting::office = nullptr;

TEST_F(OfficePrinting, WordSequencePrintsOneJobWithEveryPage) {
    auto document = office->bind(fixtures->doc());
    document->call(QStringLiteral("Activate"));
    document->call(QStringLiteral("PrintOut"));
    EXPECT_EQ(document->object(QStringLiteral("Parent"))
                  ->value(QStringLiteral("BackgroundPrintingStatus"))
                  .toInt(),
              0);
    document->call(QStringLiteral("Close"));

    const QStringList jobs = newJobs(1);
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(pdfPages(jobs[0]), 2);
    const QString text = pdfText(jobs[0]);
    EXPECT_TRUE(text.contains(QStringLiteral("QPWORD FIRST PAGE")));
    EXPECT_TRUE(text.contains(QStringLiteral("QPWORD SECOND PAGE")));
}

TEST_F(OfficePrinting, ExcelSequencePrintsEachWorksheetAloneInIndexOrder) {
    auto document = office->bind(fixtures->xls());
    const int count =
        document->object(QStringLiteral("Worksheets"))->value(QStringLiteral("Count")).toInt();
    ASSERT_EQ(count, 3);
    for (int index = 1; index <= count; ++index)
        document->object(QStringLiteral("Worksheets"), {index})->call(QStringLiteral("PrintOut"));
    document->call(QStringLiteral("Close"));

    const QStringList jobs = newJobs(3);
    ASSERT_EQ(jobs.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QString text = pdfText(jobs[i]);
        EXPECT_EQ(pdfPages(jobs[i]), 1) << "sheet " << i + 1;
        for (int other = 0; other < 3; ++other)
            EXPECT_EQ(text.contains(OfficeFixtures::sheetMarks()[other]), other == i)
                << "job " << i + 1 << " and the mark of sheet " << other + 1 << ": "
                << text.toStdString();
    }
}

TEST_F(OfficePrinting, DocumentPrintOfAWorkbookPrintsEverySheetInOneJob) {
    // An upper-case .XLS goes the plain way: one print of the whole workbook.
    const QString upper = fixtures->copy(fixtures->xls(), QStringLiteral("LOUD BOOK.XLS"));
    {
        auto document = office->bind(upper);
        // A worksheet printed first must not leave the workbook printing that sheet only.
        document->object(QStringLiteral("Worksheets"), {2})->call(QStringLiteral("PrintOut"));
        document->call(QStringLiteral("PrintOut"));
        // Nor the whole workbook leave a worksheet printing every sheet.
        document->object(QStringLiteral("Worksheets"), {3})->call(QStringLiteral("PrintOut"));
        document->call(QStringLiteral("Close"));
    }
    const QStringList jobs = newJobs(3);
    ASSERT_EQ(jobs.size(), 3);
    EXPECT_EQ(pdfPages(jobs[1]), 3);
    const QString text = pdfText(jobs[1]);
    for (const QString& mark : OfficeFixtures::sheetMarks())
        EXPECT_TRUE(text.contains(mark)) << mark.toStdString();
    const QStringList& marks = OfficeFixtures::sheetMarks();
    const QString second = pdfText(jobs[0]);
    const QString third = pdfText(jobs[2]);
    EXPECT_TRUE(second.contains(marks[1]) && !second.contains(marks[0]) &&
                !second.contains(marks[2]))
        << second.toStdString();
    EXPECT_TRUE(third.contains(marks[2]) && !third.contains(marks[0]) && !third.contains(marks[1]))
        << third.toStdString();
}

TEST_F(OfficePrinting, PlainSequencePrintsAPresentationAsOneJob) {
    auto document = office->bind(fixtures->ppt());
    document->call(QStringLiteral("PrintOut"));
    document->call(QStringLiteral("Close"));
    const QStringList jobs = newJobs(1);
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(pdfPages(jobs[0]), 2);
    const QString text = pdfText(jobs[0]);
    EXPECT_TRUE(text.contains(QStringLiteral("QPSLIDE ONE")));
    EXPECT_TRUE(text.contains(QStringLiteral("QPSLIDE TWO")));
}

TEST_F(OfficePrinting, EntriesShareOneOfficeAndLeaveNothingLoaded) {
    office->bind(fixtures->doc())->call(QStringLiteral("Close"));
    const qint64 group = office->officeProcessGroup();
    ASSERT_GT(group, 0);
    {
        // Released without "Close", as after a sequence that failed half way.
        auto first = office->bind(fixtures->doc());
        auto second = office->bind(fixtures->xls());
        EXPECT_EQ(office->openDocumentCount(), 2);
    }
    EXPECT_EQ(office->openDocumentCount(), 0);
    EXPECT_EQ(office->officeProcessGroup(), group);
    newJobs(0);
}

TEST_F(OfficePrinting, PathsThatCannotBeBoundRaiseCannotBind) {
    QTemporaryDir dir;
    QByteArray noise(20000, '\0');
    QRandomGenerator generator(42);
    for (char& byte : noise)
        byte = static_cast<char>(generator.bounded(256));
    QStringList paths{dir.filePath(QStringLiteral("missing.doc")),
                      dir.path(),
                      fixtures->file(QStringLiteral("empty.doc"), {}),
                      fixtures->file(QStringLiteral("noise.doc"), noise),
                      fixtures->file(QStringLiteral("noise.xls"), noise),
                      fixtures->file(QStringLiteral("noise.ppt"), noise),
                      fixtures->file(QStringLiteral("notes.xls"), "just a line of text\n")};
    const QString corpus = corpusDir();
    if (corpus.isEmpty()) {
        ASSERT_FALSE(mustNotSkip()) << "the document corpus is missing";
    } else {
        paths << corpus + QStringLiteral("/doc/password_password_cryptoapi.doc")
              << corpus + QStringLiteral("/xls/password.xls")
              << corpus + QStringLiteral("/ppt/Password_Protected-hello.ppt");
    }
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        expectError(ErrorNumber::CannotBind, [&] { office->bind(path); });
    }
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

TEST_F(OfficePrinting, NoDefaultPrinterRaises5140BeforeAnythingIsPrinted) {
    cups->clearDefault();
    {
        auto document = office->bind(fixtures->doc());
        expectError(ErrorNumber::NoDefaultPrinter,
                    [&] { document->call(QStringLiteral("PrintOut")); });
        auto book = office->bind(fixtures->xls());
        expectError(ErrorNumber::NoDefaultPrinter, [&] {
            book->object(QStringLiteral("Worksheets"), {1})->call(QStringLiteral("PrintOut"));
        });
        // The run closes the document after this error.
        document->call(QStringLiteral("Close"));
    }
    cups->setDefault(Queue);
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

TEST_F(OfficePrinting, MembersADocumentDoesNotHaveRaiseErrors) {
    auto document = office->bind(fixtures->doc());
    expectError(438, [&] { document->object(QStringLiteral("Worksheets")); });
    expectError(438, [&] { document->call(QStringLiteral("Explode")); });
    auto book = office->bind(fixtures->xls());
    expectError(9, [&] { book->object(QStringLiteral("Worksheets"), {4}); });
    expectError(9, [&] { book->object(QStringLiteral("Worksheets"), {0}); });
    book->call(QStringLiteral("Close"));
    expectError(ErrorNumber::AutomationError, [&] { book->call(QStringLiteral("PrintOut")); });
    newJobs(0);
}

} // namespace
} // namespace qp::test
