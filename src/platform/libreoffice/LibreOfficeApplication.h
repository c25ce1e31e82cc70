#pragma once

#include "core/SettingsKeys.h"
#include "core/SettingsStore.h"
#include "platform/CupsPrinters.h"
#include "printing/OfficeDocument.h"

#include <QString>
#include <chrono>
#include <memory>

namespace qp {

class OfficeHost;

// Opens Word, Excel and PowerPoint files as documents loaded in one headless LibreOffice,
// which is started at the first open, kept for later ones and ended with this object.
// Prints go to the CUPS default destination by name. Each office call is bounded by the
// setting "OfficeTimeout" (seconds, application "Quirepress", section "Settings"; empty
// for the default), scaled up for big files; an office that overruns it is killed.
class LibreOfficeApplication : public OfficeApplication {
public:
    explicit LibreOfficeApplication(SettingsStore& settings);
    LibreOfficeApplication(SettingsStore& settings, CupsPrinters printers, QString programDir);
    ~LibreOfficeApplication() override;

    std::unique_ptr<OfficeDocument> open(const QString& path) override;
    // Starts the office ahead of the first open.
    void prepare() noexcept override;
    void shutdown() noexcept override;

    // The bound for one office call on a file of that size.
    std::chrono::milliseconds callBound(qint64 fileSize);
    // The office's process group, also while it starts; 0 when none runs.
    qint64 officeProcessGroup() const;
    // How many documents the running office holds open (0 when none runs).
    int openDocumentCount();

    static constexpr std::chrono::seconds DefaultTimeout{180};
    static QString timeoutKey() { return settings::officeTimeoutKey(); }
    static QString defaultProgramDir();

private:
    SettingsStore& m_settings;
    CupsPrinters m_printers;
    std::shared_ptr<OfficeHost> m_host;
};

} // namespace qp
