#include "platform/CupsJobWatch.h"

#include <QStringList>
#include <QTimer>
#include <cups/cups.h>

namespace qp {

namespace {

struct Answer {
    ipp_t* response = nullptr;
    explicit Answer(ipp_t* request, const char* resource)
        : response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, resource)) {}
    ~Answer() { ippDelete(response); }
    Answer(const Answer&) = delete;
    Answer& operator=(const Answer&) = delete;

    int integer(const char* name) const {
        ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
        return attr ? ippGetInteger(attr, 0) : 0;
    }
    QStringList texts(const char* name) const {
        QStringList values;
        ipp_attribute_t* attr = ippFindAttribute(response, name, IPP_TAG_ZERO);
        for (int i = 0; attr && i < ippGetCount(attr); ++i)
            if (const char* value = ippGetString(attr, i, nullptr); value && *value)
                values << QString::fromUtf8(value);
        return values;
    }
};

ipp_t* request(ipp_op_t operation, const char* uriName, const QByteArray& uri,
               std::initializer_list<const char*> wanted) {
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, uriName, nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    const std::vector<const char*> names(wanted);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(names.size()), nullptr, names.data());
    return request;
}

// The printer's own message first ("out of paper"), then its reasons, without "none".
QString printerReasons(const Answer& printer) {
    QStringList reasons = printer.texts("printer-state-message");
    for (const QString& reason : printer.texts("printer-state-reasons"))
        if (reason != QLatin1String("none"))
            reasons << reason;
    return reasons.join(QLatin1String(", "));
}

} // namespace

CupsJobWatch::CupsJobWatch(std::chrono::milliseconds interval, QObject* parent)
    : JobWatch(parent), m_interval(interval), m_context(std::make_unique<QObject>()) {
    m_thread.setObjectName(QStringLiteral("cups-jobs"));
    m_timer = new QTimer(m_context.get());
    connect(m_timer, &QTimer::timeout, m_context.get(), [this] { look(); });
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

CupsJobWatch::~CupsJobWatch() {
    QMetaObject::invokeMethod(
        m_context.get(), [this] { m_timer->stop(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    m_context.reset();
}

void CupsJobWatch::follow(int job, const QString& destination) {
    const QString printer = destination.section(QLatin1Char('/'), 0, 0);
    QMetaObject::invokeMethod(m_context.get(), [this, job, printer] {
        m_jobs.insert(job, printer);
        if (!m_timer->isActive())
            m_timer->start(m_interval);
    });
}

void CupsJobWatch::look() {
    QSet<QString> waitingOn;
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        const Answer job(request(IPP_OP_GET_JOB_ATTRIBUTES, "job-uri",
                                 "ipp://localhost/jobs/" + QByteArray::number(it.key()),
                                 {"job-state", "job-state-reasons", "job-impressions-completed",
                                  "job-printer-state-message"}),
                         "/");
        const int state = job.integer("job-state");
        if (state < IPP_JSTATE_CANCELED) {
            // Not ended, or CUPS did not answer: looked at again next time.
            if (state != IPP_JSTATE_PROCESSING)
                waitingOn.insert(it.value());
            ++it;
            continue;
        }
        JobEnding ending;
        ending.at = QDateTime::currentDateTimeUtc();
        ending.pages = job.integer("job-impressions-completed");
        if (state == IPP_JSTATE_CANCELED)
            ending.state = JobEnding::State::Canceled;
        else if (state == IPP_JSTATE_ABORTED)
            ending.state = JobEnding::State::Aborted;
        if (ending.state != JobEnding::State::Completed)
            ending.reason =
                (job.texts("job-state-reasons") + job.texts("job-printer-state-message"))
                    .join(QLatin1String(", "));
        const int id = it.key();
        it = m_jobs.erase(it);
        Q_EMIT jobEnded(id, ending);
    }
    for (const QString& printer : waitingOn) {
        const Answer answer(
            request(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri",
                    "ipp://localhost/printers/" + printer.toUtf8(),
                    {"printer-state", "printer-state-reasons", "printer-state-message"}),
            "/");
        const bool stopped = answer.integer("printer-state") == IPP_PSTATE_STOPPED;
        if (!stopped)
            m_stoppedPrinters.remove(printer);
        else if (!m_stoppedPrinters.contains(printer)) {
            m_stoppedPrinters.insert(printer);
            Q_EMIT printerStopped(printer, printerReasons(answer));
        }
    }
    if (m_jobs.isEmpty())
        m_timer->stop();
}

} // namespace qp
