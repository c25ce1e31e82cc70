#pragma once

#include <QString>

namespace qp::pdfserver {

// Hands a PDF file to the printing system as one job. Failures (no default destination,
// a destination that refuses the job, a file that cannot be read) throw CommandRefused.
class JobSender {
public:
    virtual ~JobSender() = default;
    virtual void send(const QString& path) = 0;
};

// Sends the PDF file itself, unconverted, to the CUPS default destination (lpoptions,
// LPDEST or the server's default, as libcups decides), so that the destination's own filters
// render it exactly as it would render the file printed with lp.
class CupsJobSender : public JobSender {
public:
    void send(const QString& path) override;
};

} // namespace qp::pdfserver
