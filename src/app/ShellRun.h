#pragma once

#include "core/SettingsStore.h"
#include "printing/BatchRunView.h"
#include "printing/PrintOptions.h"
#include "printing/RunReport.h"

#include <QObject>
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
// no save is offered.
class ShellRunView : public BatchRunView, public RunReport {
public:
    // `rejected` counts what was given but could not become an entry (an empty folder).
    ShellRunView(QStringList entries, QTextStream& err, int rejected = 0);

    // After the run.
    int printedCount() const { return m_printed; }
    int notPrintedCount() const {
        return static_cast<int>(m_entries.size()) - m_printed + m_rejected;
    }
    // 0 when every entry printed, 1 when some did not, 2 when the run was ended early.
    int exitStatus() const;
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
    void entryPrinted(int) override { ++m_printed; }
    void pdfProgramMissing(int number, const QString& entry) override;
    bool continueAfterUnusableEntry(int number, const QString& entry,
                                    const QString& reason) override;
    bool offerSave() override { return false; }
    void runEnded(const RunEnd& end) override;

private:
    void passOver(int number, const QString& entry, const QString& reason);
    void writeLine(const QString& line);

    QStringList m_entries;
    QTextStream& m_err;
    int m_printed = 0;
    int m_rejected;
    bool m_ended = false;
};

// `quirepress --print`: the entries printed through the window's batch run, ending with a line
// of counts on `err` and finished() with the exit status.
class ShellRun : public QObject {
    Q_OBJECT
public:
    ShellRun(const QStringList& entries, QTextStream& err, SettingsStore& settings,
             OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer,
             const PrintOptions& options = {}, int rejected = 0);
    ~ShellRun() override;

    // Returns at once; finished() follows the end, from the event loop.
    void start();
    // Another run with other entries, once the last one has finished: the office stays started
    // from one run to the next.
    void startWith(const QStringList& entries);
    int printedCount() const { return m_view.printedCount(); }
    // An interrupt: ends the run after the entry under way.
    void stop();

Q_SIGNALS:
    void finished(int exitStatus);

private:
    void end();

    QTextStream& m_err;
    ShellRunView m_view;
    std::unique_ptr<BatchRun> m_run;
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

// What CUPS says of a job before anything prints: the destination it would go to, and its
// words when it would refuse the job (no such destination, an option it rejects).
struct DestinationCheck {
    QString destination;
    QString refusal;
};
using CheckJob = std::function<DestinationCheck(const PrintOptions&)>;

// Asks CUPS whether it takes the run's jobs. Tells a refusal on `err`, in CUPS's words, and
// returns the destination's name then empty.
QString acceptedDestination(const CheckJob& check, const PrintOptions& options, QTextStream& err);

// `--dry-run`: one line on `out` per job the entries would make (a workbook's worksheets
// included, as `worksheets` counts them, -1 when it cannot tell), tab-separated: the file,
// the worksheet ("sheet N", or empty), the destination, the options as lp's -o would take them.
void listJobs(const QStringList& entries, const QString& destination, const PrintOptions& options,
              const std::function<int(const QString&)>& worksheets, QTextStream& out);

} // namespace qp
