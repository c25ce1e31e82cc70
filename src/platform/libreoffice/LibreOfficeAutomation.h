#pragma once

#include "core/SettingsKeys.h"
#include "core/SettingsStore.h"
#include "platform/CupsPrinters.h"
#include "printing/Automation.h"

#include <QString>
#include <chrono>
#include <memory>

namespace qp {

class OfficeHost;

// Binds Word, Excel and PowerPoint files to documents loaded in one headless LibreOffice,
// which is started at the first bind, kept for later ones and ended with this object.
// Prints go to the CUPS default destination by name. Each office call is bounded by the
// setting "OfficeTimeout" (seconds, application "Quirepress", section "Settings"; empty
// for the default), scaled up for big files; an office that overruns it is killed.
class LibreOfficeAutomation : public Automation {
public:
    explicit LibreOfficeAutomation(SettingsStore& settings);
    LibreOfficeAutomation(SettingsStore& settings, CupsPrinters printers, QString programDir);
    ~LibreOfficeAutomation() override;

    std::unique_ptr<AutomationObject> bind(const QString& path) override;
    // Starts the office ahead of the first bind.
    void prepare() noexcept override;

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
