#pragma once

#include "printing/EntryKind.h"

#include <functional>

namespace qp {

class OfficeDocument;

// Prints one opened Office document. Failures are left to the caller: a sequence that fails
// stops where it failed and does not close the document.
class OfficePrinter {
public:
    // `pause` waits a moment between two looks at a Word document that is still printing; it
    // throws to give the wait up.
    explicit OfficePrinter(std::function<void()> pause) : m_pause(std::move(pause)) {}

    // Runs the sequence for the kind: Word, Excel, or the plain one for every other kind.
    void print(OfficeDocument& document, EntryKind kind);

    // Activate, print, wait until the application has no background printing left, close.
    void printWordDocument(OfficeDocument& document);
    // Each worksheet printed on its own, in index order, then close.
    void printExcelWorkbook(OfficeDocument& document);
    // Print, close.
    void printPlainDocument(OfficeDocument& document);

private:
    std::function<void()> m_pause;
};

} // namespace qp
