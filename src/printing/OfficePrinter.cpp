#include "printing/OfficePrinter.h"

#include "core/AppError.h"
#include "core/Messages.h"
#include "printing/Automation.h"
#include "printing/BatchRunView.h"

#include <cmath>
#include <limits>

namespace qp {

namespace {

// Counts and indexes of worksheets are 16-bit: a workbook that reports more sheets than
// that, or a count that is no number at all, is a failure of the run, not a silent wrap.
qint16 toSheetCount(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return 0;
    bool isNumber = false;
    const double count = value.toDouble(&isNumber);
    if (!isNumber)
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("The worksheet count is not a number."));
    const double rounded = std::nearbyint(count);
    if (rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max())
        throw AppError(ErrorNumber::Overflow, messages::overflow());
    return static_cast<qint16>(rounded);
}

} // namespace

void OfficePrinter::print(AutomationObject& document, EntryKind kind) {
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

void OfficePrinter::printWordDocument(AutomationObject& document) {
    document.call(QStringLiteral("Activate"));
    document.call(QStringLiteral("PrintOut"));
    // Closing a document that is still being printed in the background would cut the job
    // short. The wait has no time limit: the application decides when printing is done.
    while (backgroundPrintingPending(document))
        m_view.yieldToEvents();
    document.call(QStringLiteral("Close"));
}

bool OfficePrinter::backgroundPrintingPending(AutomationObject& document) {
    QVariant status;
    {
        const auto application = document.object(QStringLiteral("Parent"));
        status = application->value(QStringLiteral("BackgroundPrintingStatus"));
    }
    // A member that reports nothing has nothing pending; anything that is not a number
    // cannot be waited on.
    if (!status.isValid() || status.isNull())
        return false;
    bool isNumber = false;
    const double pending = status.toDouble(&isNumber);
    if (!isNumber)
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("The background printing status is not a number."));
    return pending != 0;
}

void OfficePrinter::printExcelWorkbook(AutomationObject& document) {
    qint16 sheetCount = 0;
    {
        const auto worksheets = document.object(QStringLiteral("Worksheets"));
        sheetCount = toSheetCount(worksheets->value(QStringLiteral("Count")));
    }
    for (qint16 index = 1; index <= sheetCount; ++index) {
        const auto worksheet =
            document.object(QStringLiteral("Worksheets"), {QVariant::fromValue(index)});
        worksheet->call(QStringLiteral("PrintOut"));
        if (index == std::numeric_limits<qint16>::max())
            break; // the next index would not fit
    }
    document.call(QStringLiteral("Close"));
}

void OfficePrinter::printPlainDocument(AutomationObject& document) {
    document.call(QStringLiteral("PrintOut"));
    document.call(QStringLiteral("Close"));
}

} // namespace qp
