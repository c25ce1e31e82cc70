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

// The destination's own options (lpoptions) with those of the job over them, as lp does.
struct JobOptions {
    int count = 0;
    cups_option_t* options = nullptr;
    JobOptions(const cups_dest_t& dest, const QStringList& given) {
        for (int i = 0; i < dest.num_options; ++i)
            count = cupsAddOption(dest.options[i].name, dest.options[i].value, count, &options);
        for (const QString& option : given)
            count = cupsParseOptions(option.toUtf8().constData(), count, &options);
    }
    ~JobOptions() { cupsFreeOptions(count, options); }
    JobOptions(const JobOptions&) = delete;
    JobOptions& operator=(const JobOptions&) = delete;
};

} // namespace

void CupsJobSender::send(const QString& path, const QString& destination,
                         const QStringList& options) {
    const QByteArray wanted = destination.toUtf8();
    // cupsGetNamedDest takes "printer/instance" and, without a name, the default.
    Destination dest(cupsGetNamedDest(
        CUPS_HTTP_DEFAULT, destination.isEmpty() ? nullptr : wanted.constData(), nullptr));
    if (!dest && destination.isEmpty())
        throw CommandRefused(
            QStringLiteral("Cannot print %1: there is no default printer set up.").arg(path),
            CommandRefused::Cause::NoDefaultPrinter);
    if (!dest)
        throw CommandRefused(
            cups::cannotPrintText(path, destination, cups::noSuchDestinationReason(destination)));
    const char* printer = dest->name;
    const QString printerName = QString::fromUtf8(printer);
    auto failed = [&](const QString& reason) {
        return CommandRefused(cups::cannotPrintText(path, printerName, reason));
    };
    const JobOptions jobOptions(*dest, options);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw failed(file.errorString());

    const QByteArray title = QFileInfo(path).fileName().toUtf8();
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, printer, title.constData(), jobOptions.count,
                                  jobOptions.options);
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
