#pragma once

#include "printing/EntryKind.h"

namespace qp {

class OfficeDocument;
class BatchRunView;

// Prints one opened Office document. Failures are left to the caller: a sequence that fails
// stops where it failed and does not close the document.
class OfficePrinter {
public:
    explicit OfficePrinter(BatchRunView& view) : m_view(view) {}

    // Runs the sequence for the kind: Word, Excel, or the plain one for every other kind.
    void print(OfficeDocument& document, EntryKind kind);

    // Activate, print, wait until the application has no background printing left, close.
    void printWordDocument(OfficeDocument& document);
    // Each worksheet printed on its own, in index order, then close.
    void printExcelWorkbook(OfficeDocument& document);
    // Print, close.
    void printPlainDocument(OfficeDocument& document);

private:
    BatchRunView& m_view;
};

} // namespace qp
