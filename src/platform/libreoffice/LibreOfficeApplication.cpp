#include "platform/libreoffice/LibreOfficeApplication.h"

#include "core/AppError.h"
#include "platform/libreoffice/LibreOfficeDocument.h"
#include "platform/libreoffice/OfficeHost.h"
#include "platform/libreoffice/OfficeSession.h"

#include <QFileInfo>

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
    : m_settings(settings), m_printers(printers),
      m_host(std::make_shared<OfficeHost>(std::move(programDir))) {}

LibreOfficeApplication::~LibreOfficeApplication() {
    m_host->shutdown();
}

void LibreOfficeApplication::prepare() noexcept {
    m_host->startAhead();
}

void LibreOfficeApplication::shutdown() noexcept {
    try {
        m_host->shutdown();
    } catch (...) {
        // The office has been killed whatever failed on the way.
    }
}

qint64 LibreOfficeApplication::officeProcessGroup() const {
    return m_host->processGroup();
}

int LibreOfficeApplication::openDocumentCount() {
    if (m_host->processGroup() == 0)
        return 0;
    auto count = std::make_shared<int>(0);
    m_host->run(OfficeHost::Phase::Working, QStringLiteral("listing the open documents"),
                callBound(0), [count](OfficeSession& s) { *count = s.openDocumentCount(); });
    return *count;
}

std::chrono::milliseconds LibreOfficeApplication::callBound(qint64 fileSize) {
    std::chrono::milliseconds base = DefaultTimeout;
    try {
        bool valid = false;
        const double seconds =
            m_settings.read(settings::application(), settings::section(), timeoutKey())
                .trimmed()
                .toDouble(&valid);
        if (valid && seconds > 0)
            base = std::chrono::milliseconds(static_cast<qint64>(seconds * 1000));
    } catch (const AppError&) {
        // An unreadable setting leaves the default in force.
    }
    // Big documents take longer to lay out: one more bound for every 10 MB.
    constexpr qint64 step = 10 * 1024 * 1024;
    return base * (1 + std::max<qint64>(fileSize, 0) / step);
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
    auto id = std::make_shared<int>(0);
    m_host->run(OfficeHost::Phase::Loading, QStringLiteral("opening %1").arg(path), bound,
                [absolute, id](OfficeSession& s) { *id = s.load(absolute); });
    return std::make_unique<LibreOfficeDocument>(m_host, m_printers, absolute, *id,
                                                 m_host->generation(), bound);
}

} // namespace qp
