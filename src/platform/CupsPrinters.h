#pragma once

#include <QString>

namespace qp {

// The user's CUPS destinations, as libcups sees them (CUPS_SERVER, lpoptions, LPDEST).
class CupsPrinters {
public:
    // The name of the default destination, or the empty text when there is none.
    QString defaultDestination() const;
    // The name of the default destination; throws AppError 5140 when there is none.
    QString requireDefaultDestination() const;
    // CUPS's reason why the destination would refuse a job now (it does not exist, or it is
    // not accepting jobs), or the empty text when it would take one. A stopped queue still
    // takes jobs and keeps them until it is started again.
    QString refusalReason(const QString& destination) const;
    // Throws AppError 440, naming the file, the destination and the reason, when the
    // destination would refuse a job for the file now.
    void requireAcceptingJobs(const QString& destination, const QString& path) const;
};

} // namespace qp
