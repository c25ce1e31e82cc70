#pragma once

#include "printing/AcrobatPrinter.h"
#include "printing/LinkTextBox.h"
#include "printing/OfficePrinter.h"
#include "printing/WaitClock.h"

#include <QString>
#include <memory>

namespace qp {

class BatchRunView;
class Conversation;
class OfficeApplication;
class OfficeDocument;
class ProgramStarter;
class Prompter;
class SettingsStore;

// The batch run behind "Print Batch": prints every entry of the window's list in order,
// Office documents through their application and PDFs through the PDF program, shows its progress,
// reports failures, offers to save the batch and leaves the window ready with an empty
// list. It owns the window's link text box, whose settings outlive each run.
class BatchRun {
public:
    BatchRun(BatchRunView& view, Prompter& prompter, SettingsStore& settings,
             OfficeApplication& office, ProgramStarter& starter, Conversation& conversation);
    // With a clock of the caller's for the bounded wait on a PDF program that was just
    // started.
    BatchRun(BatchRunView& view, Prompter& prompter, SettingsStore& settings,
             OfficeApplication& office, ProgramStarter& starter, Conversation& conversation,
             WaitClock& clock);
    ~BatchRun();

    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // The click on "Print Batch". Every failure is reported to the user here; nothing is
    // thrown. A click while a run is already waiting for background printing is ignored.
    void run();

    bool isRunning() const { return m_running; }
    const LinkTextBox& linkTextBox() const { return m_link; }

private:
    void runStarted();
    void settlePendingPath();
    void showProgressFor(int entryCount);
    // False when the user chose to stop at an entry that cannot be used.
    bool printEntries(int lastPosition, const QString& acrobatPath);
    void printEntry(const QString& entry, const QString& acrobatPath, bool& acrobatStarted);
    bool askToContinueAfterUnusableEntry(int position, const QString& entryAtStart);
    void offerToSave();

    void endAfterFailure(long number, const QString& description);
    void endWithoutDefaultPrinter();
    void endWithoutAcrobat();
    void endWithError(long number, const QString& description);
    void tellError(long number, const QString& description);
    void releaseDocument();

    BatchRunView& m_view;
    Prompter& m_prompter;
    SettingsStore& m_settings;
    OfficeApplication& m_office;
    SteadyWaitClock m_steadyClock;
    WaitClock& m_clock;
    LinkTextBox m_link;
    OfficePrinter m_officePrinter;
    AcrobatPrinter m_acrobatPrinter;
    std::unique_ptr<OfficeDocument> m_document;
    bool m_running = false;
};

} // namespace qp
