#pragma once

#include "core/Prompter.h"
#include "core/SettingsStore.h"
#include "printing/BatchRunView.h"

#include <QSet>
#include <QStringList>
#include <optional>

class QTextStream;

namespace qp {

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
// answered Yes), a message that ends the run printed as it stands. Nothing is asked and no
// save is offered.
class ShellRunView : public BatchRunView, public Prompter {
public:
    ShellRunView(QStringList entries, QTextStream& err);

    // After the run.
    int printedCount() const;
    int notPrintedCount() const { return int(m_entries.size()) - printedCount(); }
    // 0 when every entry printed, 1 when some did not, 2 when the run was ended.
    int exitStatus() const;

    int entryCount() const override { return static_cast<int>(m_entries.size()); }
    QString entry(int index) const override { return m_entries.value(index); }
    QString typedPath() const override { return {}; }
    void addTypedPath() override {}
    void clearTypedPath() override {}
    void startProgress(int) override {}
    void setProgress(int done, int total) override;
    void setStatus(const QString& text) override;
    void noteUnusableEntry(const QString& reason) override { m_reason = reason; }
    void showBusyPointer() override {}
    void restoreDefaultPointer() override {}
    void showLocatePdfServer() override {}
    bool skipSaveOffer() const override { return true; }
    void setSkipSaveOffer(bool) override {}
    void saveBatch() override {}
    void setReadyState() override {}
    void repaintNow() override;
    void yieldToEvents() override;

    PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                     PromptIcon icon) override;

private:
    void passOver(const QString& reason);
    void writeLine(const QString& line);

    QStringList m_entries;
    QTextStream& m_err;
    int m_position = 0;  // 1-based number of the entry under way, 0 before the first
    int m_announced = 0; // the last entry whose progress line was written
    QString m_reason;
    QSet<int> m_passedOver;
    bool m_ended = false;
};

// What `quirepress --print FILE...` prints, in order: each FILE, made absolute, and for a
// batch file (.qpb, in any case) its entries in its place, read as File > Open Batch reads
// them. Nothing when a batch file cannot be read: that is told on `err`.
std::optional<QStringList> shellEntries(const QStringList& files, QTextStream& err);

// Prints the entries through the window's batch run and ends with a line of counts on
// `err`. Returns the exit status.
int printFromShell(const QStringList& entries, QTextStream& err, SettingsStore& settings,
                   OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer);

} // namespace qp
