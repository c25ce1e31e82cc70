#pragma once

#include "printing/EntryKind.h"
#include "printing/PrintOptions.h"
#include "printing/SentJob.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace qp {

class OfficeApplication;
class OfficeDocument;

// Opens and prints Office entries on a thread of its own, so that the window's thread only
// ever hears how an entry went, however long the office takes. Every office call of the
// program goes through here: the office application is used on this thread alone, and is
// ended on it when this object goes.
class OfficeThread : public QObject {
    Q_OBJECT
public:
    // Gets nullptr, or the failure (an AppError, or whatever else was thrown); always later,
    // on the thread that owns this object.
    using Done = std::function<void(std::exception_ptr failure)>;
    // The same, with the jobs that the entry sent before it was done or failed.
    using Printed = std::function<void(std::exception_ptr failure, SentJobs jobs)>;

    explicit OfficeThread(OfficeApplication& office, QObject* parent = nullptr);
    // Ends the office first.
    ~OfficeThread() override;
    OfficeThread(const OfficeThread&) = delete;
    OfficeThread& operator=(const OfficeThread&) = delete;

    // Opens the entry's document and runs the print sequence of its kind. A document that
    // printed is let go; one whose sequence failed stays open until release().
    void print(const QString& entry, EntryKind kind, Printed done);
    // Lets go of the document a failed sequence left, closing it first when asked.
    void release(bool closeFirst, Done done);
    // How the entries printed from now on print.
    void setPrintOptions(const PrintOptions& options);
    // An Office entry is coming: the office may get ready meanwhile.
    void prepare();
    // Gives up the wait for a document still printing in the background; the sequence under
    // way fails, and no later one waits.
    void cancelWaits();
    // Gives up the entry under way at once: the office is killed, and the entry fails.
    void abort();

private:
    void post(std::function<void()> work);
    void reply(const Done& done, std::exception_ptr failure);
    void pauseOrThrow();

    OfficeApplication& m_office;
    QThread m_thread;
    std::unique_ptr<QObject> m_context; // lives on m_thread: what runs there is posted to it
    std::unique_ptr<OfficeDocument> m_document; // touched on m_thread only
    std::mutex m_mutex;
    std::condition_variable m_cancelled;
    bool m_cancel = false;
};

} // namespace qp
