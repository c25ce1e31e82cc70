#include "app/ShellRun.h"

#include "batches/BatchFiles.h"
#include "core/AppError.h"
#include "core/Messages.h"
#include "core/SettingsKeys.h"
#include "printing/BatchRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

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

ShellRunView::ShellRunView(QStringList entries, QTextStream& err)
    : m_entries(std::move(entries)), m_err(err) {}

int ShellRunView::printedCount() const {
    // An entry under way when the run was ended did not print.
    const int done = m_ended ? m_position - 1 : m_position;
    int printed = 0;
    for (int position = 1; position <= done; ++position) {
        if (!m_passedOver.contains(position))
            ++printed;
    }
    return printed;
}

int ShellRunView::exitStatus() const {
    if (m_ended)
        return 2;
    return notPrintedCount() > 0 ? 1 : 0;
}

void ShellRunView::setProgress(int done, int) {
    m_position = done;
    m_reason.clear();
}

void ShellRunView::setStatus(const QString& text) {
    // Only the first status of an entry is its progress line; the run's later status texts
    // repeat what its questions and messages say.
    if (m_position <= m_announced)
        return;
    m_announced = m_position;
    writeLine(QStringLiteral("[%1/%2] ").arg(m_position).arg(m_entries.size()) + text);
}

void ShellRunView::repaintNow() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ShellRunView::yieldToEvents() {
    if (!QCoreApplication::instance())
        return;
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(20);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

PromptAnswer ShellRunView::ask(const QString& text, const QString&, PromptButtons buttons,
                               PromptIcon icon) {
    // With no pending path and no save offer, the run asks only whether to go on after an
    // entry that cannot be used; and it tells only of such an entry (for information) or of
    // what ends the run.
    if (buttons == PromptButtons::YesNo) {
        passOver(m_reason.isEmpty() ? oneLine(text) : m_reason);
        return PromptAnswer::Yes;
    }
    if (icon == PromptIcon::Information) {
        passOver(oneLine(text));
        return PromptAnswer::Ok;
    }
    m_ended = true;
    QString message = text;
    message.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    writeLine(messages::shellPrefix() + message);
    return PromptAnswer::Ok;
}

void ShellRunView::passOver(const QString& reason) {
    m_passedOver.insert(m_position);
    writeLine(QStringLiteral("[%1/%2] Not printed: %3: %4")
                  .arg(m_position)
                  .arg(m_entries.size())
                  .arg(entry(m_position - 1), reason));
    m_reason.clear();
}

void ShellRunView::writeLine(const QString& line) {
    m_err << line << '\n';
    m_err.flush();
}

std::optional<QStringList> shellEntries(const QStringList& files, QTextStream& err) {
    QStringList entries;
    for (const QString& file : files) {
        if (!BatchFiles::isBatchFile(file)) {
            if (!file.isEmpty())
                entries << QDir::cleanPath(QFileInfo(file).absoluteFilePath());
            continue;
        }
        try {
            entries += BatchFiles::readBatchFile(file);
        } catch (const AppError& error) {
            err << messages::shellPrefix() + QStringLiteral("cannot read the batch file %1: %2")
                                                 .arg(file, error.numberAndDescription())
                << '\n';
            err.flush();
            return std::nullopt;
        }
    }
    return entries;
}

int printFromShell(const QStringList& entries, QTextStream& err, SettingsStore& settings,
                   OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer) {
    ShellRunView view(entries, err);
    BatchRun run(view, view, settings, office, starter, pdfServer);
    run.run();
    err << QStringLiteral("%1 printed, %2 not printed.")
               .arg(view.printedCount())
               .arg(view.notPrintedCount())
        << '\n';
    err.flush();
    return view.exitStatus();
}

} // namespace qp
