#include "OfficeTestSupport.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "support/PrivateCups.h"

#include <QRandomGenerator>

namespace qp::test {
namespace {

using namespace Qt::StringLiterals;

using OfficePrinting = OfficeSuite;

TEST_F(OfficePrinting, PlainSequencesPrintOneJobWithEveryPage) {
    for (const auto& [path, marks] :
         {std::pair{fixtures->doc(), QStringList{u"QPWORD FIRST PAGE"_s, u"QPWORD SECOND PAGE"_s}},
          std::pair{fixtures->ppt(), QStringList{u"QPSLIDE ONE"_s, u"QPSLIDE TWO"_s}}}) {
        SCOPED_TRACE(path.toStdString());
        auto document = office->open(path);
        document->activate();
        document->print();
        EXPECT_FALSE(document->backgroundPrintingPending());
        document->close();
        const QStringList jobs = newJobs(1);
        ASSERT_EQ(jobs.size(), 1);
        EXPECT_EQ(pdfPages(jobs[0]), 2);
        const QString text = pdfText(jobs[0]);
        for (const QString& mark : marks)
            EXPECT_TRUE(text.contains(mark)) << mark.toStdString();
    }
}

TEST_F(OfficePrinting, ExcelSequencePrintsEachWorksheetAloneInIndexOrder) {
    auto document = office->open(fixtures->xls());
    const int count = document->sheetCount();
    ASSERT_EQ(count, 3);
    for (int index = 1; index <= count; ++index)
        document->printSheet(index);
    document->close();

    const QStringList jobs = newJobs(3);
    ASSERT_EQ(jobs.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pdfPages(jobs[i]), 1) << "sheet " << i + 1;
        EXPECT_EQ(sheetsIn(jobs[i]), QList<int>{i}) << "sheet " << i + 1;
    }
}

TEST_F(OfficePrinting, DocumentPrintOfAnUpperCaseXlsPrintsEverySheetInOneJob) {
    {
        auto document = office->open(fixtures->copy(fixtures->xls(), u"LOUD BOOK.XLS"_s));
        // Neither way of printing may leave the workbook set up for the other.
        document->printSheet(2);
        document->print();
        document->printSheet(3);
        document->close();
    }
    const QStringList jobs = newJobs(3);
    ASSERT_EQ(jobs.size(), 3);
    EXPECT_EQ(sheetsIn(jobs[0]), QList<int>{1});
    EXPECT_EQ(pdfPages(jobs[1]), 3);
    EXPECT_EQ(sheetsIn(jobs[1]), (QList<int>{0, 1, 2}));
    EXPECT_EQ(sheetsIn(jobs[2]), QList<int>{2});
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

TEST_F(OfficePrinting, PathsThatCannotBeOpenedRaiseCannotBind) {
    QTemporaryDir dir;
    QByteArray noise(20000, '\0');
    QRandomGenerator generator(42);
    for (char& byte : noise)
        byte = static_cast<char>(generator.bounded(256));
    QStringList paths{dir.filePath(u"missing.doc"_s),
                      dir.path(),
                      fixtures->file(u"empty.doc"_s, {}),
                      fixtures->file(u"noise.doc"_s, noise),
                      fixtures->file(u"noise.xls"_s, noise),
                      fixtures->file(u"noise.ppt"_s, noise),
                      fixtures->file(u"notes.xls"_s, "just a line of text\n")};
    const QString corpus = corpusDir();
    ASSERT_FALSE(corpus.isEmpty() && mustNotSkip()) << "the document corpus is missing";
    if (!corpus.isEmpty())
        paths << corpus + u"/doc/password_password_cryptoapi.doc"_s
              << corpus + u"/xls/password.xls"_s << corpus + u"/ppt/Password_Protected-hello.ppt"_s;
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(failureOf([&] { office->open(path); }).number(), ErrorNumber::CannotBind);
    }
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

TEST_F(OfficePrinting, NoDefaultPrinterRaises5140BeforeAnythingIsPrinted) {
    cups->clearDefault();
    {
        auto document = office->open(fixtures->doc());
        EXPECT_EQ(failureOf([&] { document->print(); }).number(), ErrorNumber::NoDefaultPrinter);
        auto book = office->open(fixtures->xls());
        EXPECT_EQ(failureOf([&] { book->printSheet(1); }).number(), ErrorNumber::NoDefaultPrinter);
        document->close();
    }
    cups->setDefault(Queue);
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

TEST_F(OfficePrinting, SheetsADocumentDoesNotHaveAndClosedDocumentsRaiseErrors) {
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

} // namespace
} // namespace qp::test
