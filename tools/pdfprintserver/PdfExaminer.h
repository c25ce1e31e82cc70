#pragma once

#include <QString>

namespace qp::pdfserver {

struct PdfFacts {
    int pageCount = 0;
    bool printingAllowed = true;
};

// Looks into a PDF file. A file that cannot be opened as a PDF (missing, not a plain file,
// damaged beyond repair, locked by a password, without pages) throws CommandRefused.
class PdfExaminer {
public:
    virtual ~PdfExaminer() = default;
    virtual PdfFacts examine(const QString& path) = 0;
};

// The examiner backed by poppler.
class PopplerPdfExaminer : public PdfExaminer {
public:
    PopplerPdfExaminer();
    PdfFacts examine(const QString& path) override;
};

} // namespace qp::pdfserver
