#include "JobSender.h"

#include "CommandRefused.h"
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

QString lastCupsError() {
    return QString::fromUtf8(cupsLastErrorString());
}

} // namespace

void CupsJobSender::send(const QString& path) {
    Destination dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr));
    if (!dest)
        throw CommandRefused(
            QStringLiteral("Cannot print %1: there is no default printer set up.").arg(path),
            CommandRefused::Cause::NoDefaultPrinter);
    const char* printer = dest->name;
    const QString printerName = QString::fromUtf8(printer);
    auto failed = [&](const QString& reason) {
        return CommandRefused(cups::cannotPrintText(path, printerName, reason));
    };

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw failed(file.errorString());

    const QByteArray title = QFileInfo(path).fileName().toUtf8();
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, printer, title.constData(), dest->num_options,
                                  dest->options);
    if (job == 0)
        throw failed(lastCupsError());

    auto abandon = [&](const QString& reason) {
        const CommandRefused refusal = failed(reason);
        cupsFinishDocument(CUPS_HTTP_DEFAULT, printer);
        cupsCancelJob2(CUPS_HTTP_DEFAULT, printer, job, 0);
        return refusal;
    };
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, printer, job, title.constData(), CUPS_FORMAT_PDF, 1) !=
        HTTP_STATUS_CONTINUE)
        throw abandon(lastCupsError());

    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(chunk.data(), chunk.size());
        if (read < 0)
            throw abandon(file.errorString());
        if (read == 0)
            break;
        if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk.constData(), static_cast<size_t>(read)) !=
            HTTP_STATUS_CONTINUE)
            throw abandon(lastCupsError());
    }
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, printer) >= IPP_STATUS_REDIRECTION_OTHER_SITE)
        throw failed(lastCupsError());
}

} // namespace qp::pdfserver
