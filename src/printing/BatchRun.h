#pragma once

#include "core/AppError.h"
#include "printing/OfficePool.h"
#include "printing/PdfPrinter.h"
#include "printing/PrintOptions.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <exception>
#include <functional>

namespace qp {

class BatchRunView;
class OfficeApplication;
class PdfPrintServer;
class ProgramStarter;
class RunReport;
class SettingsStore;
struct RunEnd;

// The batch run behind "Print Batch": prints every entry of the window's list in order,
// Office documents through their application and PDFs through the PDF program, shows its
// progress, reports what happens, offers to save the batch and leaves the window ready with an
// empty list. It is a job of the event loop: each step starts the next when its outcome
// arrives, so the thread that runs it never waits for the office, the PDF program or CUPS.
// One object serves every run of its window: the PDF printer's command time-out carries over
// from one run to the next.
class BatchRun : public QObject {
    Q_OBJECT
public:
    BatchRun(BatchRunView& view, RunReport& report, SettingsStore& settings,
             OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer,
             QObject* parent = nullptr);
    ~BatchRun() override;

    // The click on "Print Batch". Returns once the run is under way (or over, when it ended
    // before its first entry); finished() follows its end. Nothing is thrown: every failure
    // is reported. A click while a run is under way is ignored.
    void start();
    bool isRunning() const { return m_running; }
    // Ends the run after the entry under way, which gets StopGrace to finish: an office that
    // has not finished by then is killed, a PDF entry is counted by its answer or, without
    // one, as sent when its print command went out. A second request gives it up at once.
    void requestStop();
    // While a question is open the run takes no step: an entry's outcome and the next entry
    // wait until it is answered. The entry under way goes on meanwhile.
    void pause() { m_paused = true; }
    void resume();
    static constexpr std::chrono::milliseconds StopGrace{3000};
    // An Office entry has joined the list: the office may get ready in the background.
    void prepareOffice() { m_office.prepare(); }
    PdfPrinter& pdfPrinter() { return m_pdfPrinter; }
    // How the jobs of the runs that start from now on are printed, Office and PDF entries
    // alike; the window keeps the default.
    void setPrintOptions(const PrintOptions& options) { m_options = options; }
    // Names the default destination; asked once as each run starts when the options name
    // none, so that every job of the run goes where the run began, whatever the default
    // becomes meanwhile and whoever sends the job. Empty: there is no default.
    void setDefaultDestination(std::function<QString()> lookup) {
        m_defaultDestination = std::move(lookup);
    }

Q_SIGNALS:
    void finished();

private:
    // Whether the step has to wait for resume(), which then runs it.
    bool held(std::function<void()> step);
    void begin();
    void settlePendingPath();
    void printNext();
    // Sends the jobs an Office entry rendered, in order, then goes on as the entry went.
    void sendRendered(OfficePool::Rendered rendered, SentJobs sent);
    void entryDone(std::exception_ptr failure, const SentJobs& jobs);
    void forgetPdfProgram(RunEnd& end);
    void goOn();
    void unusableEntry(const QString& reason);
    void offerToSave();
    void stop();
    void giveUpEntry();

    void endAfterFailure(std::exception_ptr failure);
    void endWithoutDefaultPrinter();
    void endWithoutPdfProgram();
    void endWithError(ErrorNumber number, const QString& description);
    void endInReadyState();
    void finish();

    BatchRunView& m_view;
    RunReport& m_report;
    SettingsStore& m_settings;
    OfficePool m_office;
    PdfPrinter m_pdfPrinter;
    PrintOptions m_options;
    std::function<QString()> m_defaultDestination;
    PrintOptions m_runOptions; // m_options with the destination settled at the run's start
    QTimer m_stopGrace;

    bool m_running = false;
    bool m_stopRequested = false;
    int m_position = 0;
    int m_lastPosition = -1;
    QString m_pdfProgram;
    // The entry under way.
    QString m_entry;
    bool m_awaitingEntry = false;
    bool m_paused = false;
    std::function<void()> m_held;
};

} // namespace qp
