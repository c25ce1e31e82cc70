#pragma once

#include <QString>
#include <QStringList>

namespace qp::pdfserver {

// Hands a PDF file to the printing system as one job, named after the file. Failures (no
// such destination, a destination that refuses the job or its options, a file that cannot be
// read) throw CommandRefused.
class JobSender {
public:
    virtual ~JobSender() = default;
    // An empty destination is the default one; each option is one argument of lp's -o.
    virtual void send(const QString& path, const QString& destination,
                      const QStringList& options) = 0;
};

// Sends the PDF file itself, unconverted, to a CUPS destination (by default the one lpoptions,
// LPDEST or the server choose, as libcups decides), so that the destination's own filters
// render it exactly as it would render the file printed with lp.
class CupsJobSender : public JobSender {
public:
    void send(const QString& path, const QString& destination, const QStringList& options) override;
};

} // namespace qp::pdfserver
