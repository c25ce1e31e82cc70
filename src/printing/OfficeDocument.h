#pragma once

#include "printing/PrintOptions.h"
#include "printing/SentJob.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace qp {

// A Word document, Excel workbook or PowerPoint presentation opened in an office
// application. Every call throws AppError with the number the run tells failures apart by.
// Destroying the object releases the document: nothing of it stays loaded in the office.
class OfficeDocument {
public:
    virtual ~OfficeDocument() = default;

    // Brings the document to the front of its application.
    virtual void activate() = 0;
    // Prints the whole document as one job.
    virtual void print() = 0;
    // Whether the application is still printing in the background, so that closing the
    // document now would cut a job short.
    virtual bool backgroundPrintingPending() = 0;
    // How many worksheets a workbook has; a document that is no workbook throws.
    virtual int sheetCount() = 0;
    // Prints one worksheet alone; index counts from 1.
    virtual void printSheet(int index) = 0;
    virtual void close() = 0;
};

// A job rendered and not yet sent: a PDF file, removed with the last copy of this.
struct RenderedJob {
    std::shared_ptr<const QTemporaryDir> folder;
    QString pdf;
    QString document;  // the file it was rendered from
    int worksheet = 0; // from 1 for one worksheet of a workbook, else 0
    QString printer;   // where it goes
    PrintOptions options;
};

// Opens the document of a file from its path. A path that cannot be opened throws AppError
// ErrorNumber::CannotBind; every other failure throws with its own number.
class OfficeApplication {
public:
    virtual ~OfficeApplication() = default;
    virtual std::unique_ptr<OfficeDocument> open(const QString& path) = 0;
    // How the documents opened from now on print: destination, copies, pages, job options.
    virtual void setPrintOptions(const PrintOptions& options) = 0;
    // A document may be opened soon: gets the application ready, on the thread that opens
    // documents, which this may hold for seconds. Never throws; whatever fails shows at the
    // next open.
    virtual void prepare() noexcept {}
    // From any thread: a document is waiting, so prepare() ends early.
    virtual void makeWay() noexcept {}
    // Ends the application, if it runs, within a few seconds; the next open starts it again.
    virtual void shutdown() noexcept {}
    // Kills the application at once; called from any thread, while a call on another one
    // hangs in it, which then fails as after a crash.
    virtual void kill() noexcept {}
    // A run begins: the settings are read now, for the whole run. Returns how many
    // applications of this kind the run may use side by side.
    virtual int beginRun() { return 1; }
    // One more application like this one, with the settings of its run; nullptr when there
    // can be only one.
    virtual std::unique_ptr<OfficeApplication> another() { return nullptr; }
    // The jobs that the documents' print calls rendered since the last call, in order; an
    // application that prints by itself has none.
    virtual std::vector<RenderedJob> takeRenderedJobs() { return {}; }
    // Sends a rendered job to be printed; called on a thread that renders nothing. Throws
    // AppError when the job is not taken. A job that went elsewhere than CUPS has no number.
    virtual SentJob send(const RenderedJob&) { return {}; }
};

} // namespace qp
