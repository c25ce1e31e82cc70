#pragma once

#include "platform/CupsPrinters.h"
#include "printing/OfficeDocument.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace qp {

class OfficeConnection;
class OfficeSession;

// A document loaded in the office. Each job is rendered into a PDF file that is sent later, to
// CUPS with the options, as the PDF print server sends a PDF entry. Destroying it closes the
// document in the office if still open.
class LibreOfficeDocument : public OfficeDocument {
public:
    // The document numbered id in the office of that generation; bound limits each call.
    // openCount counts it until it is closed or destroyed; its jobs join `rendered`.
    LibreOfficeDocument(std::shared_ptr<OfficeConnection> host, CupsPrinters printers,
                        PrintOptions options, QString path, int id, quint64 generation,
                        std::chrono::milliseconds bound, std::shared_ptr<int> openCount,
                        std::shared_ptr<std::vector<RenderedJob>> rendered);
    ~LibreOfficeDocument() override;

    void activate() override;
    void print() override;
    bool backgroundPrintingPending() override;
    int sheetCount() override;
    void printSheet(int index) override;
    void close() override;

private:
    // Throws unless the document is still loaded in the office that loaded it.
    void requireLoaded() const;
    // Renders the whole document (sheetIndex -1) or one worksheet into one job; throws
    // AppError when no destination would take it.
    void printJob(int sheetIndex);
    // Runs a call on this document in the office; what describes it, %1 standing for the file.
    void work(const QString& what, std::function<void(OfficeSession&)> task);
    void markClosed();

    std::shared_ptr<OfficeConnection> m_host;
    CupsPrinters m_printers;
    PrintOptions m_options;
    QString m_path;
    int m_id;
    quint64 m_generation;
    std::chrono::milliseconds m_bound;
    std::shared_ptr<int> m_openCount;
    std::shared_ptr<std::vector<RenderedJob>> m_rendered;
    bool m_closed = false;
};

} // namespace qp
