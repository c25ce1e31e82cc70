#pragma once

#include "core/SettingsKeys.h"
#include "core/SettingsStore.h"
#include "platform/CupsPrinters.h"
#include "printing/OfficeDocument.h"

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qp {

class OfficeConnection;

// Takes a rendered job in place of CUPS (for --dry-run): the document's path, the worksheet
// (from 1; 0 for the whole document) and the PDF file, which is gone once it returns. Called
// on the thread that sends.
using JobDiversion = std::function<void(const QString& path, int sheet, const QString& pdf)>;

// Opens Word, Excel and PowerPoint files as documents loaded in one headless LibreOffice,
// which is started at the first open, kept for later ones and ended with this object.
// Each job is rendered into PDF, to be sent to CUPS as lp would send that file. The settings
// are read when a run begins (application "Quirepress", section "Settings"; empty for the
// default) and shared with the offices another() makes: "OfficeTimeout" bounds each office
// call (seconds, scaled up for big files), and an office that overruns it is killed.
// LibreOffice keeps memory of every document it loaded, closed or not: an office that has
// loaded "OfficeMaxDocuments" documents, or grown past "OfficeMaxMemory" megabytes, is
// replaced at the next open that finds none of its documents open. "OfficeProcesses" says how
// many offices a run uses side by side: by default as many as the machine has cores, at most
// four, and no more than half the memory available at the run's start holds at their limit.
class LibreOfficeApplication : public OfficeApplication {
public:
    explicit LibreOfficeApplication(SettingsStore& settings);
    LibreOfficeApplication(SettingsStore& settings, CupsPrinters printers, QString programDir);
    ~LibreOfficeApplication() override;

    std::unique_ptr<OfficeDocument> open(const QString& path) override;
    void setPrintOptions(const PrintOptions& options) override { m_options = options; }
    int beginRun() override;
    std::unique_ptr<OfficeApplication> another() override;
    std::vector<RenderedJob> takeRenderedJobs() override;
    SentJob send(const RenderedJob& job) override;
    // From now on each job goes to `diversion` and not to CUPS.
    void divertJobs(JobDiversion diversion) { m_divert = std::move(diversion); }
    // Starts the office and warms it up.
    void prepare() noexcept override;
    void makeWay() noexcept override;
    void shutdown() noexcept override;
    void kill() noexcept override;

    // The bound for one office call on a file of that size.
    std::chrono::milliseconds callBound(qint64 fileSize) const;
    // The office's process group, also while it starts; 0 when none runs.
    qint64 officeProcessGroup() const;
    // How many documents the running office holds open (0 when none runs).
    int openDocumentCount();
    // When the office is replaced, as the settings say.
    struct Limits {
        int documents;
        qint64 megabytes;
        bool operator==(const Limits& other) const {
            return documents == other.documents && megabytes == other.megabytes;
        }
    };
    Limits officeLimits() const;
    // How many offices a run uses, with cores and megabytes of memory available.
    int officeCount(int cores, qint64 availableMegabytes) const;

    static constexpr std::chrono::seconds DefaultTimeout{180};
    static constexpr Limits DefaultLimits{100, 1024};
    static QString timeoutKey() { return settings::officeTimeoutKey(); }
    static QString defaultProgramDir();

private:
    // What a run reads of the settings, once, at its start.
    struct RunSettings {
        std::chrono::milliseconds timeout;
        Limits limits;
        int offices; // 0: as the machine allows
    };
    struct SharedSettings {
        std::mutex mutex;
        RunSettings value;
    };
    LibreOfficeApplication(SettingsStore& settings, CupsPrinters printers, QString programDir,
                           std::shared_ptr<SharedSettings> shared);
    RunSettings runSettings() const;
    void readSettings();
    // A number from the settings within [lowest, highest]; fallback when it is missing, not
    // a number or not positive.
    double setting(const QString& key, double lowest, double highest, double fallback);
    // Between two entries: replaces an office that is worn by the limits.
    void replaceWornOffice();
    void countLoad();

    SettingsStore& m_settings;
    std::shared_ptr<SharedSettings> m_shared;
    QString m_programDir;
    CupsPrinters m_printers;
    std::shared_ptr<std::vector<RenderedJob>> m_rendered =
        std::make_shared<std::vector<RenderedJob>>();
    PrintOptions m_options;
    JobDiversion m_divert;
    std::shared_ptr<OfficeConnection> m_host;
    // The documents opened here and not yet closed, whichever office they belong to.
    std::shared_ptr<int> m_openDocuments = std::make_shared<int>(0);
    // Documents loaded into the office of that generation.
    quint64 m_countedGeneration = 0;
    int m_loads = 0;
};

} // namespace qp
