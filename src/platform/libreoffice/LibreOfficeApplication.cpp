#include "platform/libreoffice/LibreOfficeApplication.h"

#include "core/AppError.h"
#include "platform/libreoffice/LibreOfficeDocument.h"
#include "platform/libreoffice/OfficeConnection.h"
#include "platform/libreoffice/OfficeSession.h"

#include "platform/CupsRefusal.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <utility>

namespace qp {

namespace {

QString cannotOpenText(const QString& path, const QString& why) {
    return QStringLiteral("%1 %2").arg(path, why);
}

} // namespace

QString LibreOfficeApplication::defaultProgramDir() {
    return QStringLiteral(QP_LO_PROGRAM_DIR);
}

LibreOfficeApplication::LibreOfficeApplication(SettingsStore& settings)
    : LibreOfficeApplication(settings, CupsPrinters(), defaultProgramDir()) {}

LibreOfficeApplication::LibreOfficeApplication(SettingsStore& settings, CupsPrinters printers,
                                               QString programDir)
    : LibreOfficeApplication(settings, std::move(printers), std::move(programDir),
                             std::make_shared<SharedSettings>()) {
    readSettings();
}

LibreOfficeApplication::LibreOfficeApplication(SettingsStore& settings, CupsPrinters printers,
                                               QString programDir,
                                               std::shared_ptr<SharedSettings> shared)
    : m_settings(settings), m_shared(std::move(shared)), m_programDir(programDir),
      m_printers(std::move(printers)), m_host(std::make_shared<OfficeConnection>(programDir)) {}

std::unique_ptr<OfficeApplication> LibreOfficeApplication::another() {
    return std::unique_ptr<OfficeApplication>(
        new LibreOfficeApplication(m_settings, m_printers, m_programDir, m_shared));
}

LibreOfficeApplication::RunSettings LibreOfficeApplication::runSettings() const {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->value;
}

void LibreOfficeApplication::readSettings() {
    using std::chrono::milliseconds;
    // A day is beyond any call that still answers, and within every timer's range.
    constexpr milliseconds longest = std::chrono::hours(24);
    const double seconds = setting(timeoutKey(), 1, longest.count() / 1000.0,
                                   static_cast<double>(DefaultTimeout.count()));
    // An office that has loaded a document takes more than 64 MB: below that it would be
    // replaced at every entry.
    const RunSettings read{
        milliseconds(std::llround(seconds * 1000)),
        {int(setting(settings::officeMaxDocumentsKey(), 1, 1000000, DefaultLimits.documents)),
         qint64(setting(settings::officeMaxMemoryKey(), 64, 1 << 30, DefaultLimits.megabytes))},
        int(setting(settings::officeProcessesKey(), 1, 64, 0))};
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->value = read;
}

int LibreOfficeApplication::beginRun() {
    readSettings();
    qint64 available = 0;
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        // "MemAvailable:   12345678 kB"
        for (const QByteArray& line : meminfo.readAll().split('\n'))
            if (line.startsWith("MemAvailable:"))
                available = line.mid(13).trimmed().split(' ').value(0).toLongLong() / 1024;
    }
    return officeCount(QThread::idealThreadCount(), available);
}

int LibreOfficeApplication::officeCount(int cores, qint64 availableMegabytes) const {
    const RunSettings settings = runSettings();
    if (settings.offices > 0)
        return settings.offices;
    // Each office may grow to its limit before it is replaced; together they keep within half
    // of what is available, and one office is always there.
    const qint64 fitting = availableMegabytes / 2 / settings.limits.megabytes;
    return int(std::clamp<qint64>(std::min<qint64>(cores, 4), 1, std::max<qint64>(fitting, 1)));
}

std::vector<RenderedJob> LibreOfficeApplication::takeRenderedJobs() {
    return std::exchange(*m_rendered, {});
}

SentJob LibreOfficeApplication::send(const RenderedJob& job) {
    if (m_divert) {
        m_divert(job.document, job.worksheet, job.pdf);
        return {};
    }
    const CupsPrinters::SentJob sent =
        m_printers.sendPdf(job.pdf, QFileInfo(job.document).fileName(), job.options.destination,
                           job.options.cupsOptions());
    if (sent.id > 0)
        return {sent.id, job.printer, job.worksheet, sent.pages, QDateTime::currentDateTimeUtc()};
    QString reason = m_printers.refusalReason(job.printer);
    if (reason.isEmpty())
        reason = sent.failure;
    throw AppError(ErrorNumber::AutomationError,
                   cups::cannotPrintText(job.document, job.printer, reason));
}

LibreOfficeApplication::~LibreOfficeApplication() {
    m_host->shutdown();
}

void LibreOfficeApplication::prepare() noexcept {
    // The office's first load of each kind and its first render pay for modules and fonts:
    // paid here, they come while the user is still building the list.
    m_host->warmUp([](OfficeSession& s, const std::atomic<bool>& stop) {
        const QTemporaryDir folder;
        if (folder.isValid())
            s.warmUp(folder.path(), stop);
    });
}

void LibreOfficeApplication::makeWay() noexcept {
    m_host->makeWay();
}

void LibreOfficeApplication::shutdown() noexcept {
    try {
        m_host->shutdown();
    } catch (...) {
        // The office has been killed whatever failed on the way.
    }
}

void LibreOfficeApplication::kill() noexcept {
    m_host->kill();
}

qint64 LibreOfficeApplication::officeProcessGroup() const {
    return m_host->processGroup();
}

int LibreOfficeApplication::openDocumentCount() {
    if (m_host->processGroup() == 0)
        return 0;
    auto count = std::make_shared<int>(0);
    m_host->run(OfficeConnection::Phase::Working, QStringLiteral("listing the open documents"),
                callBound(0), [count](OfficeSession& s) { *count = s.openDocumentCount(); });
    return *count;
}

double LibreOfficeApplication::setting(const QString& key, double lowest, double highest,
                                       double fallback) {
    try {
        bool valid = false;
        const double value = m_settings.read(settings::application(), settings::section(), key)
                                 .trimmed()
                                 .toDouble(&valid);
        // NaN fails the comparison and keeps the fallback; infinities are clamped.
        if (valid && value > 0)
            return std::clamp(value, lowest, highest);
    } catch (const AppError&) {
        // An unreadable setting leaves the default in force.
    }
    return fallback;
}

std::chrono::milliseconds LibreOfficeApplication::callBound(qint64 fileSize) const {
    using std::chrono::milliseconds;
    constexpr milliseconds longest = std::chrono::hours(24);
    const milliseconds base = runSettings().timeout;
    // Big documents take longer to lay out: one more bound for every 10 MB.
    constexpr qint64 step = 10 * 1024 * 1024;
    const milliseconds::rep steps = 1 + std::max<qint64>(fileSize, 0) / step;
    return base * std::min(steps, longest / base);
}

LibreOfficeApplication::Limits LibreOfficeApplication::officeLimits() const {
    return runSettings().limits;
}

void LibreOfficeApplication::replaceWornOffice() {
    // Only between two entries: never while a document of this office is open (a workbook
    // between its sheets), and only an office that is counted.
    if (*m_openDocuments > 0 || !m_host->isCurrent(m_countedGeneration))
        return;
    const Limits limits = officeLimits();
    const qint64 megabytes = m_host->residentBytes() / (1024 * 1024);
    if (m_loads >= limits.documents)
        m_host->recycle(QStringLiteral("after %1 documents").arg(m_loads));
    else if (megabytes > limits.megabytes)
        m_host->recycle(QStringLiteral("at %1 MB").arg(megabytes));
}

void LibreOfficeApplication::countLoad() {
    if (m_host->generation() != m_countedGeneration) {
        m_countedGeneration = m_host->generation();
        m_loads = 0;
    }
    ++m_loads;
}

std::unique_ptr<OfficeDocument> LibreOfficeApplication::open(const QString& path) {
    const QFileInfo info(path);
    if (path.trimmed().isEmpty() || !info.exists())
        throw AppError(ErrorNumber::CannotBind,
                       cannotOpenText(path, QStringLiteral("does not exist.")));
    if (info.isDir())
        throw AppError(ErrorNumber::CannotBind,
                       cannotOpenText(path, QStringLiteral("is a folder.")));
    if (!info.isReadable())
        throw AppError(ErrorNumber::CannotBind,
                       cannotOpenText(path, QStringLiteral("cannot be read.")));
    if (info.size() == 0)
        throw AppError(ErrorNumber::CannotBind, cannotOpenText(path, QStringLiteral("is empty.")));

    const QString absolute = info.absoluteFilePath();
    const std::chrono::milliseconds bound = callBound(info.size());
    replaceWornOffice();
    auto id = std::make_shared<int>(0);
    try {
        m_host->run(OfficeConnection::Phase::Loading, QStringLiteral("opening %1").arg(path), bound,
                    [absolute, id](OfficeSession& s) { *id = s.load(absolute); });
    } catch (const AppError&) {
        // A refused file costs the office memory as well.
        countLoad();
        throw;
    }
    countLoad();
    return std::make_unique<LibreOfficeDocument>(m_host, m_printers, m_options, absolute, *id,
                                                 m_host->generation(), bound, m_openDocuments,
                                                 m_rendered);
}

} // namespace qp
