#include "platform/CupsPrinters.h"

#include "core/AppError.h"
#include "core/Messages.h"
#include "platform/CupsRefusal.h"

#include <cups/cups.h>

namespace qp {

namespace {

bool refusesJobs(const cups_dest_t* dest) {
    const char* accepting =
        cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    return accepting && qstrcmp(accepting, "false") == 0;
}

} // namespace

QString CupsPrinters::requireAcceptingDefaultDestination(const QString& path) const {
    // One look-up answers both: the destination comes with its printer attributes.
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest)
        throw AppError(ErrorNumber::NoDefaultPrinter, messages::noDefaultPrinter());
    const QString name = QString::fromUtf8(dest->name);
    const bool refuses = refusesJobs(dest);
    cupsFreeDests(1, dest);
    if (refuses)
        throw AppError(ErrorNumber::AutomationError,
                       cups::cannotPrintText(path, name, cups::notAcceptingReason(name)));
    return name;
}

QString CupsPrinters::refusalReason(const QString& destination) const {
    const QByteArray name = destination.toUtf8();
    // Asks the server afresh: the answer is never older than this call.
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr);
    if (!dest) {
        if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE &&
            cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)
            return QString::fromUtf8(cupsLastErrorString());
        return cups::noSuchDestinationReason(destination);
    }
    const bool refuses = refusesJobs(dest);
    cupsFreeDests(1, dest);
    return refuses ? cups::notAcceptingReason(destination) : QString();
}

} // namespace qp
