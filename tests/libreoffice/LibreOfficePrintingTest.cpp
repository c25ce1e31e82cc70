#include "OfficeTestSupport.h"
#include "platform/libreoffice/LibreOfficeAutomation.h"
#include "support/PrivateCups.h"

#include <QRandomGenerator>

namespace qp::test {
namespace {

using namespace Qt::StringLiterals;

const QString Worksheets = u"Worksheets"_s;
const QString PrintOut = u"PrintOut"_s;
const QString Close = u"Close"_s;

using OfficePrinting = OfficeSuite;

TEST_F(OfficePrinting, PlainSequencesPrintOneJobWithEveryPage) {
    for (const auto& [path, marks] :
         {std::pair{fixtures->doc(), QStringList{u"QPWORD FIRST PAGE"_s, u"QPWORD SECOND PAGE"_s}},
          std::pair{fixtures->ppt(), QStringList{u"QPSLIDE ONE"_s, u"QPSLIDE TWO"_s}}}) {
        SCOPED_TRACE(path.toStdString());
        auto document = office->bind(path);
        document->call(u"Activate"_s);
        document->call(PrintOut);
        EXPECT_EQ(document->object(u"Parent"_s)->value(u"BackgroundPrintingStatus"_s).toInt(), 0);
        document->call(Close);
        const QStringList jobs = newJobs(1);
        ASSERT_EQ(jobs.size(), 1);
        EXPECT_EQ(pdfPages(jobs[0]), 2);
        const QString text = pdfText(jobs[0]);
        for (const QString& mark : marks)
            EXPECT_TRUE(text.contains(mark)) << mark.toStdString();
    }
}

TEST_F(OfficePrinting, ExcelSequencePrintsEachWorksheetAloneInIndexOrder) {
    auto document = office->bind(fixtures->xls());
    const int count = document->object(Worksheets)->value(u"Count"_s).toInt();
    ASSERT_EQ(count, 3);
    for (int index = 1; index <= count; ++index)
        document->object(Worksheets, {index})->call(PrintOut);
    document->call(Close);

    const QStringList jobs = newJobs(3);
    ASSERT_EQ(jobs.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pdfPages(jobs[i]), 1) << "sheet " << i + 1;
        EXPECT_EQ(sheetsIn(jobs[i]), QList<int>{i}) << "sheet " << i + 1;
    }
}

TEST_F(OfficePrinting, DocumentPrintOfAnUpperCaseXlsPrintsEverySheetInOneJob) {
    {
        auto document = office->bind(fixtures->copy(fixtures->xls(), u"LOUD BOOK.XLS"_s));
        // Neither way of printing may leave the workbook set up for the other.
        document->object(Worksheets, {2})->call(PrintOut);
        document->call(PrintOut);
        document->object(Worksheets, {3})->call(PrintOut);
        document->call(Close);
    }
    const QStringList jobs = newJobs(3);
    ASSERT_EQ(jobs.size(), 3);
    EXPECT_EQ(sheetsIn(jobs[0]), QList<int>{1});
    EXPECT_EQ(pdfPages(jobs[1]), 3);
    EXPECT_EQ(sheetsIn(jobs[1]), (QList<int>{0, 1, 2}));
    EXPECT_EQ(sheetsIn(jobs[2]), QList<int>{2});
}

TEST_F(OfficePrinting, EntriesShareOneOfficeAndLeaveNothingLoaded) {
    office->bind(fixtures->doc())->call(Close);
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
        EXPECT_EQ(failureOf([&] { office->bind(path); }).number(), ErrorNumber::CannotBind);
    }
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

TEST_F(OfficePrinting, NoDefaultPrinterRaises5140BeforeAnythingIsPrinted) {
    cups->clearDefault();
    {
        auto document = office->bind(fixtures->doc());
        EXPECT_EQ(failureOf([&] { document->call(PrintOut); }).number(),
                  ErrorNumber::NoDefaultPrinter);
        auto book = office->bind(fixtures->xls());
        EXPECT_EQ(failureOf([&] { book->object(Worksheets, {1})->call(PrintOut); }).number(),
                  ErrorNumber::NoDefaultPrinter);
        document->call(Close);
    }
    cups->setDefault(Queue);
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

TEST_F(OfficePrinting, MembersADocumentDoesNotHaveRaiseErrors) {
    auto document = office->bind(fixtures->doc());
    auto book = office->bind(fixtures->xls());
    const std::pair<long, std::function<void()>> cases[] = {
        {438, [&] { document->object(Worksheets); }},
        {438, [&] { document->call(u"Explode"_s); }},
        {9, [&] { book->object(Worksheets, {4}); }},
        {9, [&] { book->object(Worksheets, {0}); }},
        {ErrorNumber::AutomationError, [&] {
             book->call(Close);
             book->call(PrintOut);
         }}};
    for (const auto& [number, action] : cases)
        EXPECT_EQ(failureOf(action).number(), number);
    newJobs(0);
}

} // namespace
} // namespace qp::test
