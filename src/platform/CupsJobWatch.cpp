#include "platform/CupsJobWatch.h"

#include "core/AppError.h"
#include "platform/CupsRefusal.h"

#include <QDeadlineTimer>
#include <QThread>

#include <cups/cups.h>

namespace qp {

namespace {

struct IppFree {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using Ipp = std::unique_ptr<ipp_t, IppFree>;

// A request about the printer or job that uri names (uriName "printer-uri" or "job-uri").
Ipp request(ipp_op_t operation, const QByteArray& uri, const char* uriName = "printer-uri") {
    ipp_t* ipp = ippNewRequest(operation);
    ippAddString(ipp, IPP_TAG_OPERATION, IPP_TAG_URI, uriName, nullptr, uri.constData());
    ippAddString(ipp, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return Ipp(ipp);
}

Ipp send(Ipp ipp) {
    return Ipp(cupsDoRequest(CUPS_HTTP_DEFAULT, ipp.release(), "/"));
}

bool succeeded(const Ipp& response) {
    return response && ippGetStatusCode(response.get()) <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

// The job's owner, or the empty text when CUPS no longer knows the job.
QByteArray jobOwner(int job) {
    Ipp get = request(IPP_OP_GET_JOB_ATTRIBUTES, "ipp://localhost/jobs/" + QByteArray::number(job),
                      "job-uri");
    ippAddString(get.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "job-originating-user-name");
    const Ipp response = send(std::move(get));
    if (!succeeded(response))
        return {};
    ipp_attribute_t* owner =
        ippFindAttribute(response.get(), "job-originating-user-name", IPP_TAG_NAME);
    return owner ? QByteArray(ippGetString(owner, 0, nullptr)) : QByteArray();
}

} // namespace

CupsJobWatch::CupsJobWatch(const QString& destination, const QString& path,
                           std::chrono::milliseconds lifetime) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0,
                     "/printers/%s", destination.toUtf8().constData());
    m_uri = uri;
    Ipp subscribe = request(IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS, m_uri);
    ippAddString(subscribe.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-pull-method",
                 nullptr, "ippget");
    ippAddString(subscribe.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-events", nullptr,
                 "job-created");
    // Outlives the print it watches, but not a program that died before it could cancel it.
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(lifetime).count() + 60;
    ippAddInteger(subscribe.get(), IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration",
                  static_cast<int>(std::min<qint64>(seconds, 86400)));
    const Ipp response = send(std::move(subscribe));
    ipp_attribute_t* id =
        succeeded(response)
            ? ippFindAttribute(response.get(), "notify-subscription-id", IPP_TAG_INTEGER)
            : nullptr;
    if (!id)
        throw AppError(
            ErrorNumber::AutomationError,
            cups::cannotPrintText(path, destination, QString::fromUtf8(cupsLastErrorString())));
    m_subscription = ippGetInteger(id, 0);
}

CupsJobWatch::~CupsJobWatch() {
    Ipp cancel = request(IPP_OP_CANCEL_SUBSCRIPTION, m_uri);
    ippAddInteger(cancel.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id",
                  m_subscription);
    send(std::move(cancel));
}

bool CupsJobWatch::newJobOfThisUser() {
    Ipp get = request(IPP_OP_GET_NOTIFICATIONS, m_uri);
    ippAddInteger(get.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-ids",
                  m_subscription);
    ippAddInteger(get.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-sequence-numbers",
                  m_nextSequence);
    const Ipp response = send(std::move(get));
    if (!succeeded(response))
        return false;
    for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr;
         attr = ippNextAttribute(response.get())) {
        if (ippGetGroupTag(attr) != IPP_TAG_EVENT_NOTIFICATION)
            continue;
        const char* name = ippGetName(attr);
        if (qstrcmp(name, "notify-sequence-number") == 0)
            m_nextSequence = std::max(m_nextSequence, ippGetInteger(attr, 0) + 1);
        else if (qstrcmp(name, "notify-job-id") == 0) {
            // A job that CUPS has already finished and forgotten has no owner to compare;
            // it was created on this destination while the print ran, so it counts.
            const QByteArray owner = jobOwner(ippGetInteger(attr, 0));
            if (owner.isEmpty() || owner == cupsUser())
                return true;
        }
    }
    return false;
}

bool CupsJobWatch::jobArrived(std::chrono::milliseconds within) {
    const QDeadlineTimer deadline(within);
    unsigned long pause = 5;
    for (;;) {
        if (newJobOfThisUser())
            return true;
        if (deadline.hasExpired())
            return false;
        // On the office's thread: the window's thread never asks.
        QThread::msleep(static_cast<unsigned long>(
            std::min<qint64>(pause, std::max<qint64>(deadline.remainingTime(), 1))));
        pause = std::min(pause * 2, 200ul);
    }
}

} // namespace qp
