#pragma once

#include "printing/SentJob.h"

#include <QString>

namespace qp {

// How a batch run ended, when it did not simply get through its entries.
struct RunEnd {
    enum class Kind {
        NoDefaultPrinter, // nothing can print without one
        PdfProgramSilent, // the PDF program did not answer; the stored path was forgotten
        Failure,          // any other failure; number and description say which
        Stopped           // the user (or a signal) stopped the run after an entry
    };
    Kind kind = Kind::Failure;
    long number = 0; // as users see it
    QString description;
    // With PdfProgramSilent: why the stored path could not be forgotten, if it could not.
    long settingsFailureNumber = 0;
    QString settingsFailure;
};

// What a batch run tells and asks the person who started it, in the run's own terms. The
// window turns each into its message box; the shell mode into its lines and exit status.
class RunReport {
public:
    virtual ~RunReport() = default;

    // A path was typed but not added when the run started: add it to the list?
    virtual bool addPendingPath(const QString& path) = 0;
    // Entry `number` (from 1) of `total` is about to print.
    virtual void entryStarted(int number, int total, const QString& entry) = 0;
    virtual void entryPrinted(int number) = 0;
    // CUPS took a job of entry `number`: told before the entry is done or fails.
    virtual void jobSent(int /*number*/, const SentJob& /*job*/) {}
    // A PDF entry whose print command went out, but the run stopped before the server
    // answered: it counts as sent.
    virtual void entrySentUnanswered(int number) { entryPrinted(number); }
    // A PDF entry passed over because no PDF program is set up; the run goes on.
    virtual void pdfProgramMissing(int number, const QString& entry) = 0;
    // An entry that cannot be used, and why: go on with the next one?
    virtual bool continueAfterUnusableEntry(int number, const QString& entry,
                                            const QString& reason) = 0;
    // Every entry is done: save the batch?
    virtual bool offerSave() = 0;
    // The run ends early.
    virtual void runEnded(const RunEnd& end) = 0;
};

// The words of a report, the same for every way of giving it. Line breaks are CR LF.
namespace runtext {
QString pdfProgramMissing(const QString& entry);
QString unusableEntry(const QString& entry); // the question; the status line has its first part
QString pdfProgramSilent();
QString failure(long number, const QString& description);
QString stopped();
QString stoppedBeforeAnswer();
} // namespace runtext

} // namespace qp
