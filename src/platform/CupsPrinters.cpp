#include "platform/CupsPrinters.h"

#include "core/AppError.h"
#include "core/Messages.h"
#include "platform/CupsPdfJob.h"
#include "platform/CupsRefusal.h"

#include <QFile>

#include <cups/cups.h>
#include <memory>
#include <poppler-document.h>

namespace qp {

namespace {

bool refusesJobs(const cups_dest_t* dest) {
    const char* accepting =
        cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    return accepting && qstrcmp(accepting, "false") == 0;
}

// What the job's options make of its paper; a job that does not choose its sides prints as
// the printer does by default.
void paperOf(cups_dest_t& dest, int count, cups_option_t* options, CupsPrinters::JobCheck& check) {
    const int copies = QByteArray(cupsGetOption("copies", count, options)).toInt();
    check.copies = copies > 0 ? copies : 1;
    check.pages = QString::fromUtf8(cupsGetOption("page-ranges", count, options));
    QByteArray sides = cupsGetOption(CUPS_SIDES, count, options);
    if (sides.isEmpty()) {
        if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, &dest)) {
            if (ipp_attribute_t* byDefault =
                    cupsFindDestDefault(CUPS_HTTP_DEFAULT, &dest, info, CUPS_SIDES))
                sides = ippGetString(byDefault, 0, nullptr);
            cupsFreeDestInfo(info);
        }
    }
    check.twoSided = sides.startsWith("two-sided");
}

} // namespace

CupsPrinters::JobCheck CupsPrinters::checkJob(const QString& destination,
                                              const QStringList& options) const {
    cups_dest_t* dest = cups::namedDest(destination);
    JobCheck check;
    if (!dest) {
        check.destination = destination;
        check.refusal =
            destination.isEmpty() ? messages::noDefaultPrinter() : refusalReason(destination);
        return check;
    }
    check.destination = QString::fromUtf8(dest->name);
    if (dest->instance)
        check.destination += QLatin1Char('/') + QString::fromUtf8(dest->instance);
    if (refusesJobs(dest)) {
        check.refusal = cups::notAcceptingReason(check.destination);
        cupsFreeDests(1, dest);
        return check;
    }

    // The instance's own options (lpoptions) first, those given over them, as lp does.
    int count = 0;
    cups_option_t* jobOptions = nullptr;
    for (int i = 0; i < dest->num_options; ++i)
        count = cupsAddOption(dest->options[i].name, dest->options[i].value, count, &jobOptions);
    for (const QString& option : options)
        count = cupsParseOptions(option.toUtf8().constData(), count, &jobOptions);
    paperOf(*dest, count, jobOptions, check);
    // cupsd checks a job's options (copies, page-ranges, number-up, job-sheets...) fully only
    // when it creates the job, and Validate-Job does not: a job held for good, and deleted as
    // soon as it was taken, asks without printing anything.
    count = cupsAddOption("job-hold-until", "indefinite", count, &jobOptions);
    const QByteArray queue = check.destination.section(QLatin1Char('/'), 0, 0).toUtf8();
    const int job =
        cupsCreateJob(CUPS_HTTP_DEFAULT, queue.constData(), "quirepress check", count, jobOptions);
    if (job == 0)
        check.refusal = QString::fromUtf8(cupsLastErrorString());
    else
        cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.constData(), job, 1);
    cupsFreeOptions(count, jobOptions);
    cupsFreeDests(1, dest);
    return check;
}

CupsPrinters::SentJob CupsPrinters::sendPdf(const QString& pdf, const QString& title,
                                            const QString& destination,
                                            const QStringList& options) const {
    cups_dest_t* dest = cups::namedDest(destination);
    if (!dest)
        return {0, destination.isEmpty() ? messages::noDefaultPrinter()
                                         : cups::noSuchDestinationReason(destination)};
    SentJob sent;
    QFile file(pdf);
    if (file.open(QIODevice::ReadOnly))
        sent.id = cups::sendPdfJob(*dest, file, title, options, sent.failure);
    else
        sent.failure = file.errorString();
    if (sent.id > 0) {
        const std::unique_ptr<poppler::document> document(
            poppler::document::load_from_file(QFile::encodeName(pdf).toStdString()));
        sent.pages = document ? document->pages() : 0;
    }
    cupsFreeDests(1, dest);
    return sent;
}

QString CupsPrinters::defaultDestination() const {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest)
        return {};
    QString name = QString::fromUtf8(dest->name);
    if (dest->instance)
        name += QLatin1Char('/') + QString::fromUtf8(dest->instance);
    cupsFreeDests(1, dest);
    return name;
}

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
    // Asks the server afresh: the answer is never older than this call.
    cups_dest_t* dest = cups::namedDest(destination);
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
