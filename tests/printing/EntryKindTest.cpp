#include "printing/EntryKind.h"

#include <gtest/gtest.h>

namespace qp {
namespace {

TEST(EntryKind, IsTheLastThreeCharactersPdfInAnyCaseDocLowerCasedAndXlsAsItStands) {
    const std::pair<const char*, EntryKind> cases[] = {
        {"/docs/a.pdf", EntryKind::Pdf},
        {"/docs/A.PDF", EntryKind::Pdf},
        {"/docs/a.PdF", EntryKind::Pdf},
        {"pdf", EntryKind::Pdf},
        {"/docs/reportpdf", EntryKind::Pdf},
        {"/docs/a.pdf ", EntryKind::OtherOffice},
        {"df", EntryKind::OtherOffice},
        {"", EntryKind::OtherOffice},
        {"/d/a.doc", EntryKind::Word},
        {"/d/a.DOC", EntryKind::Word},
        {"/d/a.Doc", EntryKind::Word},
        {"/d/a.xls", EntryKind::Excel},
        {"xls", EntryKind::Excel},
        {"/d/a.XLS", EntryKind::OtherOffice},
        {"/d/a.xLs", EntryKind::OtherOffice},
        {"ls", EntryKind::OtherOffice},
        {"/d/a.ppt", EntryKind::OtherOffice},
        {"/d/a.docx", EntryKind::OtherOffice},
    };
    for (const auto& [entry, kind] : cases) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(isPdfEntry(QString::fromUtf8(entry)), kind == EntryKind::Pdf);
        if (kind != EntryKind::Pdf)
            EXPECT_EQ(officeEntryKind(QString::fromUtf8(entry)), kind);
    }
    EXPECT_EQ(entryEnding(QStringLiteral("ab")), QStringLiteral("ab"));
}

} // namespace
} // namespace qp
