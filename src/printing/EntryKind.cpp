#include "printing/EntryKind.h"

namespace qp {

QString entryEnding(const QString& entry) {
    return entry.right(3);
}

bool isPdfEntry(const QString& entry) {
    return entryEnding(entry).toLower() == QLatin1String("pdf");
}

EntryKind officeEntryKind(const QString& entry) {
    const QString ending = entryEnding(entry);
    if (ending.toLower() == QLatin1String("doc"))
        return EntryKind::Word;
    if (ending == QLatin1String("xls"))
        return EntryKind::Excel;
    return EntryKind::OtherOffice;
}

} // namespace qp
