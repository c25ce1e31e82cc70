#pragma once

#include <QString>

namespace qp::pdfserver {

struct PdfFacts {
    int pageCount = 0;
    bool printingAllowed = true;
};

// Looks into a PDF file. A file that cannot be opened as a PDF (missing, not a plain file,
// damaged beyond repair, locked by a password, without pages) throws CommandRefused.
class PdfInspector {
public:
    virtual ~PdfInspector() = default;
    virtual PdfFacts inspect(const QString& path) = 0;
};

// The inspector backed by poppler.
class PopplerPdfInspector : public PdfInspector {
public:
    PopplerPdfInspector();
    PdfFacts inspect(const QString& path) override;
};

} // namespace qp::pdfserver
