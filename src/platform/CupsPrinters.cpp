#include "platform/CupsPrinters.h"

#include "core/AppError.h"
#include "core/Messages.h"
#include "platform/CupsRefusal.h"

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
        throw AppError(ErrorNumber::NoDefaultPrinter, messages::noDefaultPrinter());
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
    const char* accepting =
        cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const bool refuses = accepting && qstrcmp(accepting, "false") == 0;
    cupsFreeDests(1, dest);
    return refuses ? cups::notAcceptingReason(destination) : QString();
}

void CupsPrinters::requireAcceptingJobs(const QString& destination, const QString& path) const {
    const QString reason = refusalReason(destination);
    if (!reason.isEmpty())
        throw AppError(ErrorNumber::AutomationError,
                       cups::cannotPrintText(path, destination, reason));
}

} // namespace qp
