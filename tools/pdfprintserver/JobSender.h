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
    // Returns the job's id. The destination must be named (a printer or "printer/instance"):
    // the caller's, never one of this process's environment. Each option is one argument of
    // lp's -o.
    virtual int send(const QString& path, const QString& destination,
                     const QStringList& options) = 0;
};

// Sends the PDF file itself, unconverted, to a CUPS destination, so that the destination's own
// filters render it exactly as they would render the file printed with lp.
class CupsJobSender : public JobSender {
public:
    int send(const QString& path, const QString& destination, const QStringList& options) override;
};

} // namespace qp::pdfserver
