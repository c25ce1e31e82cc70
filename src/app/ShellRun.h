#pragma once

#include "app/DryRun.h"
#include "app/JobReport.h"
#include "core/SettingsStore.h"
#include "printing/BatchRunView.h"
#include "printing/JobWatch.h"
#include "printing/PrintOptions.h"
#include "printing/RunReport.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QTextStream;

namespace qp {

class BatchRun;
class OfficeApplication;
class PdfPrintServer;
class ProgramStarter;

// The settings as a run from the shell sees them: what is stored is read, nothing is ever
// written, and without a stored PDF program the server installed beside this program is
// used.
class ReadOnlySettings : public SettingsStore {
public:
    ReadOnlySettings(SettingsStore& stored, QString pdfServerBesideProgram)
        : m_stored(stored), m_pdfServer(std::move(pdfServerBesideProgram)) {}

    QString read(const QString& application, const QString& section, const QString& key) override;
    void write(const QString&, const QString&, const QString&, const QString&) override {}

private:
    SettingsStore& m_stored;
    QString m_pdfServer;
};

// The window's batch run seen from a terminal: one progress line per entry on `err`, an
// entry that cannot be printed named with its reason and passed over (the window's question
// answered Yes), what ends the run printed as the window would tell it. Nothing is asked and
// no save is offered. With a report, every job and every entry that gave none is written to
// it; with a watch, each job is followed to its end in CUPS, which is told on `err` too, and
// only an entry whose jobs all completed counts as printed.
class ShellRunView : public BatchRunView, public RunReport {
public:
    // `rejected` counts what was given but could not become an entry (an empty folder).
    ShellRunView(QStringList entries, QTextStream& err, int rejected = 0, PrintOptions options = {},
                 JobWatch* watch = nullptr, JobReport* report = nullptr);

    // After the run.
    int printedCount() const { return static_cast<int>((m_printed - m_failed).size()); }
    int notPrintedCount() const {
        return static_cast<int>(m_entries.size()) - printedCount() + m_rejected;
    }
    // 0 when every entry printed, 1 when some did not, 2 when the run was ended early or its
    // wait was interrupted.
    int exitStatus() const;
    bool following() const { return !m_following.isEmpty(); }
    void jobEnded(int job, const JobEnding& ending);
    void printerStopped(const QString& printer, const QString& reasons);
    // Writes what is still unknown and the summary to the report. `interrupted`: the wait
    // was given up, the jobs followed stay queued.
    void endReport(bool interrupted);
    // Before another run of the same view, with other entries.
    void restart(QStringList entries);

    int entryCount() const override { return static_cast<int>(m_entries.size()); }
    QString entry(int index) const override { return m_entries.value(index); }
    QString typedPath() const override { return {}; }
    void addTypedPath() override {}
    void clearTypedPath() override {}
    void startProgress(int) override {}
    void setProgress(int, int) override {}
    void setStatus(const QString&) override {}
    void showBusyPointer() override {}
    void restoreDefaultPointer() override {}
    void showLocatePdfServer() override {}
    bool skipSaveOffer() const override { return true; }
    void setSkipSaveOffer(bool) override {}
    void saveBatch() override {}
    void setReadyState() override {}

    bool addPendingPath(const QString&) override { return false; }
    void entryStarted(int number, int total, const QString& entry) override;
    void entryPrinted(int number) override;
    void jobSent(int number, const SentJob& job) override;
    void entrySentUnanswered(int number) override;
    void pdfProgramMissing(int number, const QString& entry) override;
    bool continueAfterUnusableEntry(int number, const QString& entry,
                                    const QString& reason) override;
    bool offerSave() override { return false; }
    void runEnded(const RunEnd& end) override;

private:
    void passOver(int number, const QString& entry, const QString& reason);
    void writeLine(const QString& line);
    // A record of entry `number` as far as the run knows it.
    JobRecord record(int number) const;
    void writeRecord(const JobRecord& record);

    struct Followed {
        int number;
        JobRecord record;
    };

    QStringList m_entries;
    QTextStream& m_err;
    int m_rejected;
    PrintOptions m_options;
    JobWatch* m_watch;
    JobReport* m_report;
    bool m_ended = false;
    bool m_interrupted = false;
    QString m_endReason;
    QDateTime m_runStarted;
    QDateTime m_entryStarted;
    QSet<int> m_printed;             // entries the run printed
    QSet<int> m_failed;              // ...of which a job was aborted or canceled
    QSet<int> m_settled;             // entries printed or passed over
    QSet<int> m_withJobs;            // entries that sent a job
    QMap<int, Followed> m_following; // by job id
};

// `quirepress --print`: the entries printed through the window's batch run, ending with a line
// of counts on `err` and finished() with the exit status.
class ShellRun : public QObject {
    Q_OBJECT
public:
    // `options` name the destination, settled before. With a watch, the run ends once every
    // job has; with a report, each job is written to it.
    ShellRun(const QStringList& entries, QTextStream& err, SettingsStore& settings,
             OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer,
             const PrintOptions& options = {}, int rejected = 0, JobWatch* watch = nullptr,
             JobReport* report = nullptr);
    ~ShellRun() override;

    // A dry run: the jobs are counted into `jobs` (which the office and the PDF program of the
    // run were given), and listed on `out` at the end.
    void listInstead(const DryRunJobs& jobs, QTextStream& out) {
        m_dryRun = &jobs;
        m_out = &out;
    }
    // Returns at once; finished() follows the end, from the event loop.
    void start();
    // Another run with other entries, once the last one has finished: the office stays started
    // from one run to the next.
    void startWith(const QStringList& entries);
    int printedCount() const { return m_view.printedCount(); }
    // An interrupt: ends the run after the entry under way, or the wait for the jobs at once,
    // leaving them queued.
    void stop();

Q_SIGNALS:
    void finished(int exitStatus);

private:
    void runOver();
    void end();

    QTextStream& m_err;
    bool m_runOver = false;
    bool m_stopped = false;
    bool m_endedAlready = false;
    ShellRunView m_view;
    std::unique_ptr<BatchRun> m_run;
    const DryRunJobs* m_dryRun = nullptr;
    QTextStream* m_out = nullptr;
};

struct ShellEntries {
    QStringList entries;
    int rejected = 0; // folders without a printable file, each told on `err`
};

// What `quirepress --print FILE|DIR...` prints, in order: each FILE, made absolute, for a
// batch file (.qpb, in any case) its entries in its place, read as File > Open Batch reads
// them, and for a folder its printable files (FolderEntries; with `recursive`, those of its
// subfolders too). Nothing when a batch file cannot be read: that is told on `err`.
std::optional<ShellEntries> shellEntries(const QStringList& files, bool recursive,
                                         QTextStream& err);

// What CUPS says of a job before anything prints: the destination it would go to, its words
// when it would refuse the job (no such destination, an option it rejects), and what the job
// would make on paper.
struct DestinationCheck {
    QString destination;
    QString refusal;
    JobPaper paper;
};
using CheckJob = std::function<DestinationCheck(const PrintOptions&)>;

// Asks CUPS whether it takes the run's jobs. Tells a refusal on `err`, in CUPS's words, and
// returns nothing then.
std::optional<DestinationCheck> acceptedDestination(const CheckJob& check,
                                                    const PrintOptions& options, QTextStream& err);

} // namespace qp
