#pragma once

#include "printing/EntryKind.h"

namespace qp {

class AutomationObject;
class BatchRunView;

// Prints one bound Office document by calling its members by name. Failures are left to the
// caller: a sequence that fails stops where it failed and does not close the document.
class OfficePrinter {
public:
    explicit OfficePrinter(BatchRunView& view) : m_view(view) {}

    // Runs the sequence for the kind: Word, Excel, or the plain one for every other kind.
    void print(AutomationObject& document, EntryKind kind);

    // Activate, PrintOut, wait until the application has no background printing left, Close.
    void printWordDocument(AutomationObject& document);
    // Each worksheet printed by its own PrintOut, in index order, then Close.
    void printExcelWorkbook(AutomationObject& document);
    // PrintOut, Close.
    void printPlainDocument(AutomationObject& document);

private:
    bool backgroundPrintingPending(AutomationObject& document);

    BatchRunView& m_view;
};

} // namespace qp
