#include "printing/OfficePrinter.h"
#include "PrintingFakes.h"

#include <gtest/gtest.h>

namespace qp::test {
namespace {

class OfficePrinterTest : public ::testing::Test {
protected:
    // Binds path and runs the sequence for kind, journalling only the sequence; the document
    // stays held until the next print. Failures propagate.
    void print(const QString& path, EntryKind kind) {
        document.reset();
        document = automation.bind(path);
        journal.lines.clear();
        printer.print(*document, kind);
    }

    Journal journal;
    FakeBatchRunView view{journal};
    FakeAutomation automation{journal};
    OfficePrinter printer{view};
    std::unique_ptr<AutomationObject> document;
};

TEST_F(OfficePrinterTest, WordClosesAtOnceWhenNothingPrintsInTheBackground) {
    print(QStringLiteral("/d/a.doc"), EntryKind::Word);
    EXPECT_EQ(journal.lines, (QStringList{
                                 "call /d/a.doc.Activate()",
                                 "call /d/a.doc.PrintOut()",
                                 "object /d/a.doc.Parent()",
                                 "value /d/a.doc/Parent.BackgroundPrintingStatus",
                                 "release /d/a.doc/Parent",
                                 "call /d/a.doc.Close()",
                             }));
    EXPECT_EQ(view.yields, 0);
}

TEST_F(OfficePrinterTest, WordWaitsYieldingUntilBackgroundPrintingEnds) {
    automation.documents[QStringLiteral("/d/a.doc")].backgroundStatus = {2, 2, 1, 0};
    print(QStringLiteral("/d/a.doc"), EntryKind::Word);

    EXPECT_EQ(view.yields, 3);
    // Each look takes a fresh application object and lets it go before yielding.
    const QStringList waitLines = journal.lines.mid(2, journal.lines.size() - 3);
    QStringList expected;
    for (int look = 0; look < 4; ++look) {
        expected << "object /d/a.doc.Parent()"
                 << "value /d/a.doc/Parent.BackgroundPrintingStatus"
                 << "release /d/a.doc/Parent";
        if (look < 3)
            expected << "yield";
    }
    EXPECT_EQ(waitLines, expected);
    EXPECT_EQ(journal.lines.last(), "call /d/a.doc.Close()");
    EXPECT_EQ(automation.liveObjects, 1) << "only the document itself may still be held";
}

TEST_F(OfficePrinterTest, WordStatusThatIsNotANumberIsAFailureNotAnEndlessWait) {
    automation.documents[QStringLiteral("/d/a.doc")].backgroundStatus = {QStringLiteral("busy")};
    EXPECT_THROW(print(QStringLiteral("/d/a.doc"), EntryKind::Word), AppError);
    EXPECT_EQ(view.yields, 0);
    EXPECT_FALSE(journal.lines.contains("call /d/a.doc.Close()"));
}

TEST_F(OfficePrinterTest, ExcelPrintsEachWorksheetInIndexOrderThenCloses) {
    automation.documents[QStringLiteral("/d/b.xls")].worksheetCount = 3;
    print(QStringLiteral("/d/b.xls"), EntryKind::Excel);
    EXPECT_EQ(journal.lines, (QStringList{
                                 "object /d/b.xls.Worksheets()",
                                 "value /d/b.xls/Worksheets.Count",
                                 "release /d/b.xls/Worksheets",
                                 "object /d/b.xls.Worksheets(1)",
                                 "call /d/b.xls/Worksheets(1).PrintOut()",
                                 "release /d/b.xls/Worksheets(1)",
                                 "object /d/b.xls.Worksheets(2)",
                                 "call /d/b.xls/Worksheets(2).PrintOut()",
                                 "release /d/b.xls/Worksheets(2)",
                                 "object /d/b.xls.Worksheets(3)",
                                 "call /d/b.xls/Worksheets(3).PrintOut()",
                                 "release /d/b.xls/Worksheets(3)",
                                 "call /d/b.xls.Close()",
                             }));
}

TEST_F(OfficePrinterTest, ExcelWithoutWorksheetsStillCloses) {
    automation.documents[QStringLiteral("/d/b.xls")].worksheetCount = 0;
    print(QStringLiteral("/d/b.xls"), EntryKind::Excel);
    EXPECT_TRUE(journal.starting("call /d/b.xls/Worksheets(").isEmpty());
    EXPECT_EQ(journal.lines.last(), "call /d/b.xls.Close()");
}

TEST_F(OfficePrinterTest, ExcelStopsAtTheWorksheetThatFails) {
    automation.documents[QStringLiteral("/d/b.xls")].worksheetCount = 3;
    automation.failures.emplace(QStringLiteral("/d/b.xls/Worksheets(2).PrintOut"),
                                AppError(ErrorNumber::AutomationError, "sheet 2 failed"));
    try {
        print(QStringLiteral("/d/b.xls"), EntryKind::Excel);
        FAIL() << "the failure was swallowed";
    } catch (const AppError& error) {
        EXPECT_EQ(error.description(), "sheet 2 failed");
    }
    EXPECT_TRUE(journal.lines.contains("release /d/b.xls/Worksheets(2)"));
    EXPECT_FALSE(journal.lines.contains("object /d/b.xls.Worksheets(3)"));
    EXPECT_FALSE(journal.lines.contains("call /d/b.xls.Close()"));
}

TEST_F(OfficePrinterTest, ExcelCountsThatDoNotFitSixteenBitsOverflow) {
    automation.documents[QStringLiteral("/d/b.xls")].worksheetCount = 40000;
    try {
        print(QStringLiteral("/d/b.xls"), EntryKind::Excel);
        FAIL() << "an oversized count was accepted";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), ErrorNumber::Overflow);
    }
    EXPECT_TRUE(journal.starting("call /d/b.xls/Worksheets(").isEmpty());

    automation.documents[QStringLiteral("/d/b.xls")].worksheetCountValue = QStringLiteral("many");
    EXPECT_THROW(print(QStringLiteral("/d/b.xls"), EntryKind::Excel), AppError);
}

TEST_F(OfficePrinterTest, PlainSequenceIsOnePrintOutAndClose) {
    for (const auto& [path, kind] :
         {std::pair{QStringLiteral("/d/c.ppt"), EntryKind::OtherOffice},
          std::pair{QStringLiteral("/d/c.XLS"), EntryKind::OtherOffice}}) {
        print(path, kind);
        EXPECT_EQ(journal.lines,
                  (QStringList{"call " + path + ".PrintOut()", "call " + path + ".Close()"}));
    }
    document.reset();
    EXPECT_EQ(automation.liveObjects, 0);
}

} // namespace
} // namespace qp::test
