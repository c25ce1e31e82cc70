#pragma once

#include "printing/OfficePrinter.h"
#include "printing/PdfPrinter.h"
#include "printing/WaitClock.h"

#include <QString>
#include <memory>

namespace qp {

class AppError;
class BatchRunView;
class OfficeApplication;
class OfficeDocument;
class PdfPrintServer;
class ProgramStarter;
class Prompter;
class SettingsStore;

// The batch run behind "Print Batch": prints every entry of the window's list in order,
// Office documents through their application and PDFs through the PDF program, shows its progress,
// reports failures, offers to save the batch and leaves the window ready with an empty
// list. One object serves every run of its window: the PDF printer's command time-out
// carries over from one run to the next.
class BatchRun {
public:
    BatchRun(BatchRunView& view, Prompter& prompter, SettingsStore& settings,
             OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer);
    // With a clock of the caller's for the bounded wait on a PDF program that was just
    // started.
    BatchRun(BatchRunView& view, Prompter& prompter, SettingsStore& settings,
             OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer,
             WaitClock& clock);
    ~BatchRun();

    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // The click on "Print Batch". Every failure is reported to the user here; nothing is
    // thrown. A click while a run is already waiting for background printing is ignored.
    void run();

    bool isRunning() const { return m_running; }

private:
    void runStarted();
    void settlePendingPath();
    // False when the user chose to stop at an entry that cannot be used.
    bool printEntries(int lastPosition, const QString& acrobatPath);
    void printEntry(const QString& entry, const QString& acrobatPath, bool& acrobatStarted);
    bool askToContinueAfterUnusableEntry(int position, const QString& entryAtStart);
    void offerToSave();

    void endAfterFailure(const AppError& error);
    void endWithoutDefaultPrinter();
    void endWithoutAcrobat();
    void endWithError(const AppError& error);
    void tellError(const AppError& error);
    void releaseDocument();

    BatchRunView& m_view;
    Prompter& m_prompter;
    SettingsStore& m_settings;
    OfficeApplication& m_office;
    SteadyWaitClock m_steadyClock;
    WaitClock& m_clock;
    OfficePrinter m_officePrinter;
    PdfPrinter m_pdfPrinter;
    std::unique_ptr<OfficeDocument> m_document;
    bool m_running = false;
};

} // namespace qp
