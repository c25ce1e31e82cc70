#pragma once

#include "core/SettingsKeys.h"
#include "core/SettingsStore.h"
#include "platform/CupsPrinters.h"
#include "platform/libreoffice/LibreOfficeDocument.h"
#include "printing/OfficeDocument.h"

#include <QString>
#include <chrono>
#include <memory>

namespace qp {

class OfficeHost;

// Opens Word, Excel and PowerPoint files as documents loaded in one headless LibreOffice,
// which is started at the first open, kept for later ones and ended with this object.
// Each job is rendered into PDF and sent to CUPS as lp would send that file. Each office
// call is bounded by the setting "OfficeTimeout" (seconds, application "Quirepress", section
// "Settings"; empty for the default), scaled up for big files; an office that overruns it is
// killed.
// LibreOffice keeps memory of every document it loaded, closed or not: an office that has
// loaded "OfficeMaxDocuments" documents, or grown past "OfficeMaxMemory" megabytes, is
// replaced at the next open that finds none of its documents open.
class LibreOfficeApplication : public OfficeApplication {
public:
    explicit LibreOfficeApplication(SettingsStore& settings);
    LibreOfficeApplication(SettingsStore& settings, CupsPrinters printers, QString programDir);
    ~LibreOfficeApplication() override;

    std::unique_ptr<OfficeDocument> open(const QString& path) override;
    void setPrintOptions(const PrintOptions& options) override { m_options = options; }
    // From now on each job, rendered as for printing, goes to `jobs` and not to CUPS.
    void divertJobs(RenderedJobs jobs) { m_divert = std::move(jobs); }
    // Starts the office ahead of the first open and warms it up in the background.
    void prepare() noexcept override;
    void shutdown() noexcept override;
    void kill() noexcept override;

    // The bound for one office call on a file of that size.
    std::chrono::milliseconds callBound(qint64 fileSize);
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
    Limits officeLimits();

    static constexpr std::chrono::seconds DefaultTimeout{180};
    static constexpr Limits DefaultLimits{100, 1024};
    static QString timeoutKey() { return settings::officeTimeoutKey(); }
    static QString defaultProgramDir();

private:
    // A number from the settings within [lowest, highest]; fallback when it is missing, not
    // a number or not positive.
    double setting(const QString& key, double lowest, double highest, double fallback);
    // Between two entries: replaces an office that is worn by the limits.
    void replaceWornOffice();
    void countLoad();

    SettingsStore& m_settings;
    CupsPrinters m_printers;
    PrintOptions m_options;
    RenderedJobs m_divert;
    std::shared_ptr<OfficeHost> m_host;
    // The documents opened here and not yet closed, whichever office they belong to.
    std::shared_ptr<int> m_openDocuments = std::make_shared<int>(0);
    // Documents loaded into the office of that generation.
    quint64 m_countedGeneration = 0;
    int m_loads = 0;
};

} // namespace qp
