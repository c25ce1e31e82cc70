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
};

} // namespace qp
