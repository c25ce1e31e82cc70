#include "app/ShellRun.h"

#include "batches/BatchFiles.h"
#include "batches/FolderEntries.h"
#include "core/AppError.h"
#include "core/Messages.h"
#include "core/SettingsKeys.h"
#include "printing/BatchRun.h"
#include "printing/EntryKind.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace qp {

namespace {

QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    return text.simplified();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString ReadOnlySettings::read(const QString& application, const QString& section,
                               const QString& key) {
    const QString value = m_stored.read(application, section, key);
    if (value.isEmpty() && sameName(application, settings::application()) &&
        sameName(section, settings::section()) && sameName(key, settings::acrobatKey()))
        return m_pdfServer;
    return value;
}

ShellRunView::ShellRunView(QStringList entries, QTextStream& err, int rejected)
    : m_entries(std::move(entries)), m_err(err), m_rejected(rejected) {}

int ShellRunView::exitStatus() const {
    if (m_ended)
        return 2;
    return notPrintedCount() > 0 ? 1 : 0;
}

void ShellRunView::restart(QStringList entries) {
    m_entries = std::move(entries);
    m_printed = 0;
    m_rejected = 0;
    m_ended = false;
}

void ShellRunView::entryStarted(int number, int total, const QString& entry) {
    writeLine(
        QStringLiteral("[%1/%2] Preparing %3 for printing.").arg(number).arg(total).arg(entry));
}

void ShellRunView::pdfProgramMissing(int number, const QString& entry) {
    passOver(number, entry, oneLine(runtext::pdfProgramMissing(entry)));
}

bool ShellRunView::continueAfterUnusableEntry(int number, const QString& entry,
                                              const QString& reason) {
    passOver(number, entry, reason.isEmpty() ? oneLine(runtext::unusableEntry(entry)) : reason);
    return true;
}

void ShellRunView::runEnded(const RunEnd& end) {
    m_ended = true;
    QString message;
    switch (end.kind) {
    case RunEnd::Kind::NoDefaultPrinter:
        message = messages::noDefaultPrinter();
        break;
    case RunEnd::Kind::PdfProgramSilent:
        message = runtext::pdfProgramSilent();
        break;
    case RunEnd::Kind::Failure:
        message = runtext::failure(end.number, end.description);
        break;
    case RunEnd::Kind::Stopped:
        message = runtext::stopped();
        break;
    }
    message.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    writeLine(messages::shellPrefix() + message);
}

void ShellRunView::passOver(int number, const QString& entry, const QString& reason) {
    writeLine(QStringLiteral("[%1/%2] Not printed: %3: %4")
                  .arg(number)
                  .arg(m_entries.size())
                  .arg(entry, reason));
}

void ShellRunView::writeLine(const QString& line) {
    m_err << line << '\n';
    m_err.flush();
}

std::optional<ShellEntries> shellEntries(const QStringList& files, bool recursive,
                                         QTextStream& err) {
    ShellEntries result;
    const auto tell = [&err](const QString& line) {
        err << messages::shellPrefix() + line << '\n';
        err.flush();
    };
    for (const QString& file : files) {
        if (!file.isEmpty() && QFileInfo(file).isDir()) {
            const QStringList printable = FolderEntries::printableFiles(file, recursive);
            if (printable.isEmpty()) {
                tell(
                    messages::unsupportedFile(QDir::cleanPath(QFileInfo(file).absoluteFilePath())));
                ++result.rejected;
            }
            result.entries += printable;
            continue;
        }
        if (!BatchFiles::isBatchFile(file)) {
            if (!file.isEmpty())
                result.entries << QDir::cleanPath(QFileInfo(file).absoluteFilePath());
            continue;
        }
        try {
            result.entries += BatchFiles::readBatchFile(file);
        } catch (const AppError& error) {
            tell(QStringLiteral("cannot read the batch file %1: %2")
                     .arg(file, error.numberAndDescription()));
            return std::nullopt;
        }
    }
    return result;
}

QString acceptedDestination(const CheckJob& check, const PrintOptions& options, QTextStream& err) {
    const DestinationCheck answer = check(options);
    if (answer.refusal.isEmpty())
        return answer.destination;
    err << messages::shellPrefix() << answer.refusal << '\n';
    err.flush();
    return {};
}

void listJobs(const QStringList& entries, const QString& destination, const PrintOptions& options,
              const std::function<int(const QString&)>& worksheets, QTextStream& out) {
    const QString jobOptions = options.cupsOptions().join(QLatin1Char(' '));
    const auto line = [&](const QString& file, const QString& sheet) {
        out << file << '\t' << sheet << '\t' << destination << '\t' << jobOptions << '\n';
    };
    for (const QString& entry : entries) {
        const int sheets = !isPdfEntry(entry) && officeEntryKind(entry) == EntryKind::Excel
                               ? worksheets(entry)
                               : -1;
        if (sheets < 0)
            line(entry, {});
        for (int sheet = 1; sheet <= sheets; ++sheet)
            line(entry, QStringLiteral("sheet %1").arg(sheet));
    }
    out.flush();
}

ShellRun::ShellRun(const QStringList& entries, QTextStream& err, SettingsStore& settings,
                   OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer,
                   const PrintOptions& options, int rejected)
    : m_err(err), m_view(entries, err, rejected),
      m_run(std::make_unique<BatchRun>(m_view, m_view, settings, office, starter, pdfServer)) {
    m_run->setPrintOptions(options);
    connect(m_run.get(), &BatchRun::finished, this, &ShellRun::end);
}

ShellRun::~ShellRun() = default;

void ShellRun::start() {
    m_run->start();
    // A run with nothing to print ends before it starts.
    if (!m_run->isRunning())
        QMetaObject::invokeMethod(this, &ShellRun::end, Qt::QueuedConnection);
}

void ShellRun::startWith(const QStringList& entries) {
    m_view.restart(entries);
    start();
}

void ShellRun::stop() {
    m_run->requestStop();
}

void ShellRun::end() {
    m_err << QStringLiteral("%1 printed, %2 not printed.")
                 .arg(m_view.printedCount())
                 .arg(m_view.notPrintedCount())
          << '\n';
    m_err.flush();
    Q_EMIT finished(m_view.exitStatus());
}

} // namespace qp
