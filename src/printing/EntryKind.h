#pragma once

#include <QString>

namespace qp {

// How a batch entry is printed, decided from the last three characters of its text.
enum class EntryKind { Pdf, Word, Excel, OtherOffice };

// The last three characters of an entry, or the whole entry when it is shorter.
QString entryEnding(const QString& entry);

// PDF entries are recognised before anything is bound, so that no office application is
// asked to open them.
bool isPdfEntry(const QString& entry);

// The kind of an entry that is not a PDF entry. "doc" is compared lower-cased but "xls" as
// it stands: an upper-case .XLS workbook is printed whole, the plain way.
EntryKind officeEntryKind(const QString& entry);

} // namespace qp
