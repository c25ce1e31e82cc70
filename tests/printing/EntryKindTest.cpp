#include "printing/EntryKind.h"

#include <gtest/gtest.h>

namespace qp {
namespace {

// The run's own tests print the common endings; these are the edges of the rule.
TEST(EntryKind, IsTheLastThreeCharactersPdfInAnyCaseDocLowerCasedAndXlsAsItStands) {
    const std::pair<const char*, EntryKind> cases[] = {
        {"/docs/a.PdF", EntryKind::Pdf},     {"pdf", EntryKind::Pdf},
        {"/docs/reportpdf", EntryKind::Pdf}, {"/docs/a.pdf ", EntryKind::OtherOffice},
        {"df", EntryKind::OtherOffice},      {"", EntryKind::OtherOffice},
        {"/d/a.Doc", EntryKind::Word},       {"/d/a.docx", EntryKind::OtherOffice},
        {"xls", EntryKind::Excel},           {"/d/a.xLs", EntryKind::OtherOffice},
        {"ls", EntryKind::OtherOffice},
    };
    for (const auto& [entry, kind] : cases) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(isPdfEntry(QString::fromUtf8(entry)), kind == EntryKind::Pdf);
        if (kind != EntryKind::Pdf)
            EXPECT_EQ(officeEntryKind(QString::fromUtf8(entry)), kind);
    }
}

} // namespace
} // namespace qp
