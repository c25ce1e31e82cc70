#include "printing/EntryKind.h"

#include <gtest/gtest.h>

namespace qp {
namespace {

TEST(EntryKind, PdfIsRecognisedByItsEndingInAnyCase) {
    EXPECT_TRUE(isPdfEntry(QStringLiteral("/docs/a.pdf")));
    EXPECT_TRUE(isPdfEntry(QStringLiteral("/docs/A.PDF")));
    EXPECT_TRUE(isPdfEntry(QStringLiteral("/docs/a.PdF")));
    EXPECT_TRUE(isPdfEntry(QStringLiteral("pdf")));
    EXPECT_TRUE(isPdfEntry(QStringLiteral("/docs/reportpdf"))) << "no dot is needed";
    EXPECT_FALSE(isPdfEntry(QStringLiteral("/docs/a.pdf ")));
    EXPECT_FALSE(isPdfEntry(QStringLiteral("df")));
    EXPECT_FALSE(isPdfEntry(QString()));
}

TEST(EntryKind, DocIsComparedLowerCasedButXlsAsItStands) {
    EXPECT_EQ(officeEntryKind(QStringLiteral("/d/a.doc")), EntryKind::Word);
    EXPECT_EQ(officeEntryKind(QStringLiteral("/d/a.DOC")), EntryKind::Word);
    EXPECT_EQ(officeEntryKind(QStringLiteral("/d/a.Doc")), EntryKind::Word);
    EXPECT_EQ(officeEntryKind(QStringLiteral("/d/a.xls")), EntryKind::Excel);
    EXPECT_EQ(officeEntryKind(QStringLiteral("/d/a.XLS")), EntryKind::OtherOffice);
    EXPECT_EQ(officeEntryKind(QStringLiteral("/d/a.xLs")), EntryKind::OtherOffice);
    EXPECT_EQ(officeEntryKind(QStringLiteral("/d/a.ppt")), EntryKind::OtherOffice);
    EXPECT_EQ(officeEntryKind(QStringLiteral("/d/a.docx")), EntryKind::OtherOffice);
    EXPECT_EQ(officeEntryKind(QStringLiteral("/d/a.txt")), EntryKind::OtherOffice);
}

TEST(EntryKind, ShortEntriesAreTakenWhole) {
    EXPECT_EQ(entryEnding(QStringLiteral("ab")), QStringLiteral("ab"));
    EXPECT_EQ(entryEnding(QString()), QString());
    EXPECT_EQ(officeEntryKind(QStringLiteral("xls")), EntryKind::Excel);
    EXPECT_EQ(officeEntryKind(QStringLiteral("ls")), EntryKind::OtherOffice);
}

} // namespace
} // namespace qp
