#pragma once

#include "platform/CupsPrinters.h"
#include "printing/OfficeDocument.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace qp {

class OfficeHost;
class OfficeSession;

// Takes a rendered job in place of CUPS (for --dry-run): the document's path, the worksheet
// (from 1; 0 for the whole document) and the PDF file, which is gone once it returns. Called
// on the thread that prints.
using RenderedJobs = std::function<void(const QString& path, int sheet, const QString& pdf)>;

// A document loaded in the office. Each job is rendered into a PDF file that goes to CUPS
// with the options, as the PDF print server sends a PDF entry. Destroying it closes the
// document in the office if still open.
class LibreOfficeDocument : public OfficeDocument {
public:
    // The document numbered id in the office of that generation; bound limits each call.
    // openCount counts it until it is closed or destroyed. Its jobs go to `divert` instead
    // of CUPS when it is set.
    LibreOfficeDocument(std::shared_ptr<OfficeHost> host, CupsPrinters printers,
                        PrintOptions options, QString path, int id, quint64 generation,
                        std::chrono::milliseconds bound, std::shared_ptr<int> openCount,
                        RenderedJobs divert = {});
    ~LibreOfficeDocument() override;

    void activate() override;
    void print() override;
    bool backgroundPrintingPending() override;
    int sheetCount() override;
    void printSheet(int index) override;
    void close() override;
    SentJobs sentJobs() const override { return m_sent; }

private:
    // Throws unless the document is still loaded in the office that loaded it.
    void requireLoaded() const;
    // Prints the whole document (sheetIndex -1) or one worksheet as one job; throws AppError
    // when CUPS did not take it.
    void printJob(int sheetIndex);
    // Runs a call on this document in the office; what describes it, %1 standing for the file.
    void work(const QString& what, std::function<void(OfficeSession&)> task);
    void markClosed();

    std::shared_ptr<OfficeHost> m_host;
    CupsPrinters m_printers;
    PrintOptions m_options;
    QString m_path;
    int m_id;
    quint64 m_generation;
    std::chrono::milliseconds m_bound;
    std::shared_ptr<int> m_openCount;
    RenderedJobs m_divert;
    bool m_closed = false;
    SentJobs m_sent;
};

} // namespace qp
