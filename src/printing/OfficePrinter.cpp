#include "printing/OfficePrinter.h"

#include "core/AppError.h"
#include "core/Messages.h"
#include "printing/OfficeDocument.h"

#include <limits>

namespace qp {

namespace {

// Counts and indexes of worksheets are 16-bit: a workbook that reports more sheets than
// that is a failure of the run, not a silent wrap.
qint16 toSheetCount(int count) {
    if (count < std::numeric_limits<qint16>::min() || count > std::numeric_limits<qint16>::max())
        throw AppError(ErrorNumber::Overflow, messages::overflow());
    return static_cast<qint16>(count);
}

} // namespace

void OfficePrinter::print(OfficeDocument& document, EntryKind kind) {
    switch (kind) {
    case EntryKind::Word:
        printWordDocument(document);
        return;
    case EntryKind::Excel:
        printExcelWorkbook(document);
        return;
    case EntryKind::Pdf:
    case EntryKind::OtherOffice:
        printPlainDocument(document);
        return;
    }
}

void OfficePrinter::printWordDocument(OfficeDocument& document) {
    document.activate();
    document.print();
    // Closing a document that is still being printed in the background would cut the job
    // short. The wait has no time limit: the application decides when printing is done.
    while (document.backgroundPrintingPending())
        m_pause();
    document.close();
}

void OfficePrinter::printExcelWorkbook(OfficeDocument& document) {
    // Read once: sheets printed or added meanwhile do not change how many are printed.
    const qint16 sheetCount = toSheetCount(document.sheetCount());
    for (qint16 index = 1; index <= sheetCount; ++index) {
        document.printSheet(index);
        if (index == std::numeric_limits<qint16>::max())
            break; // the next index would not fit
    }
    document.close();
}

void OfficePrinter::printPlainDocument(OfficeDocument& document) {
    document.print();
    document.close();
}

} // namespace qp
