#include "platform/CupsPrinters.h"

#include "core/AppError.h"

#include <cups/cups.h>

namespace qp {

QString CupsPrinters::defaultDestination() const {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest)
        return {};
    const QString name = QString::fromUtf8(dest->name);
    cupsFreeDests(1, dest);
    return name;
}

QString CupsPrinters::requireDefaultDestination() const {
    const QString name = defaultDestination();
    if (name.isEmpty())
        throw AppError(ErrorNumber::NoDefaultPrinter,
                       QStringLiteral("There is no default printer set up.  You must have a "
                                      "default printer to use this utility"));
    return name;
}

} // namespace qp
