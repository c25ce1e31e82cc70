#include "printing/OfficeThread.h"

#include "core/AppError.h"
#include "printing/OfficeDocument.h"
#include "printing/OfficePrinter.h"

#include <chrono>

namespace qp {

namespace {

// How long to wait between two looks at a document that is printing in the background.
constexpr std::chrono::milliseconds PendingLookPause{20};

} // namespace

OfficeThread::OfficeThread(OfficeApplication& office, QObject* parent)
    : QObject(parent), m_office(office), m_context(std::make_unique<QObject>()) {
    m_thread.setObjectName(QStringLiteral("office"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

OfficeThread::~OfficeThread() {
    cancelWaits();
    post([this] {
        m_document.reset();
        m_office.shutdown();
    });
    m_thread.quit();
    // The office's own bounds limit how long this takes.
    m_thread.wait();
    m_context.reset();
}

void OfficeThread::post(std::function<void()> work) {
    QMetaObject::invokeMethod(m_context.get(), std::move(work), Qt::QueuedConnection);
}

void OfficeThread::reply(const Done& done, std::exception_ptr failure) {
    // Dropped with this object when it has gone meanwhile.
    QMetaObject::invokeMethod(
        this, [done, failure] { done(failure); }, Qt::QueuedConnection);
}

void OfficeThread::print(const QString& entry, EntryKind kind, Printed done) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancel = false;
    }
    post([this, entry, kind, done = std::move(done)] {
        std::exception_ptr failure;
        SentJobs jobs;
        try {
            m_document = m_office.open(entry);
            OfficePrinter([this] { pauseOrThrow(); }).print(*m_document, kind);
            jobs = m_document->sentJobs();
            m_document.reset();
        } catch (...) {
            failure = std::current_exception();
            // A worksheet that failed leaves the ones before it printed.
            if (m_document)
                jobs = m_document->sentJobs();
        }
        QMetaObject::invokeMethod(
            this, [done, failure, jobs] { done(failure, jobs); }, Qt::QueuedConnection);
    });
}

void OfficeThread::release(bool closeFirst, Done done) {
    post([this, closeFirst, done = std::move(done)] {
        std::exception_ptr failure;
        if (m_document && closeFirst) {
            try {
                m_document->close();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        m_document.reset();
        reply(done, failure);
    });
}

void OfficeThread::setPrintOptions(const PrintOptions& options) {
    post([this, options] { m_office.setPrintOptions(options); });
}

void OfficeThread::prepare() {
    post([this] { m_office.prepare(); });
}

void OfficeThread::cancelWaits() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancel = true;
    }
    m_cancelled.notify_all();
}

void OfficeThread::abort() {
    cancelWaits();
    m_office.kill();
}

void OfficeThread::pauseOrThrow() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_cancelled.wait_for(lock, PendingLookPause, [this] { return m_cancel; }))
        throw AppError(ErrorNumber::UnexpectedFailure,
                       QStringLiteral("Printing was stopped before the document was done."));
}

} // namespace qp
