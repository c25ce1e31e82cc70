#include "JobSender.h"

#include "CommandRefused.h"
#include "platform/CupsPdfJob.h"
#include "platform/CupsRefusal.h"

#include <QFile>
#include <QFileInfo>
#include <cups/cups.h>
#include <memory>

namespace qp::pdfserver {

namespace {

struct DestinationFree {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using Destination = std::unique_ptr<cups_dest_t, DestinationFree>;

} // namespace

int CupsJobSender::send(const QString& path, const QString& destination,
                        const QStringList& options) {
    // The default of this process's environment (PRINTER, LPDEST) would be the one of
    // whichever run started the server, not the caller's: the caller settles it.
    if (destination.isEmpty())
        throw CommandRefused(
            QStringLiteral("Cannot print %1: there is no default printer set up.").arg(path),
            CommandRefused::Cause::NoDefaultPrinter);
    Destination dest(cups::namedDest(destination));
    if (!dest)
        throw CommandRefused(
            cups::cannotPrintText(path, destination, cups::noSuchDestinationReason(destination)));
    const char* printer = dest->name;
    const QString printerName = QString::fromUtf8(printer);
    auto failed = [&](const QString& reason) {
        return CommandRefused(cups::cannotPrintText(path, printerName, reason));
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw failed(file.errorString());
    QString failure;
    const int job = cups::sendPdfJob(*dest, file, QFileInfo(path).fileName(), options, failure);
    if (job == 0)
        throw failed(failure);
    return job;
}

} // namespace qp::pdfserver
