#include "app/ShellRun.h"

#include "batches/BatchFiles.h"
#include "batches/FolderEntries.h"
#include "core/AppError.h"
#include "core/Messages.h"
#include "core/SettingsKeys.h"
#include "printing/BatchRun.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <utility>

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

ShellRunView::ShellRunView(QStringList entries, QTextStream& err, int rejected,
                           PrintOptions options, JobWatch* watch, JobReport* report)
    : m_entries(std::move(entries)), m_err(err), m_rejected(rejected),
      m_options(std::move(options)), m_watch(watch), m_report(report),
      m_runStarted(QDateTime::currentDateTimeUtc()) {}

int ShellRunView::exitStatus() const {
    if (m_ended || m_interrupted)
        return 2;
    return notPrintedCount() > 0 ? 1 : 0;
}

void ShellRunView::restart(QStringList entries) {
    m_entries = std::move(entries);
    m_printed.clear();
    m_failed.clear();
    m_settled.clear();
    m_withJobs.clear();
    m_rejected = 0;
    m_ended = false;
    m_interrupted = false;
    m_endReason.clear();
    m_runStarted = QDateTime::currentDateTimeUtc();
}

void ShellRunView::entryStarted(int number, int total, const QString& entry) {
    m_entryStarted = QDateTime::currentDateTimeUtc();
    writeLine(
        QStringLiteral("[%1/%2] Preparing %3 for printing.").arg(number).arg(total).arg(entry));
}

void ShellRunView::entryPrinted(int number) {
    m_printed.insert(number);
    m_settled.insert(number);
    if (!m_withJobs.contains(number)) {
        JobRecord nothing = record(number);
        nothing.state = JobRecord::State::NotPrinted;
        nothing.reason = QStringLiteral("It has nothing to print.");
        writeRecord(nothing);
    }
}

JobRecord ShellRunView::record(int number) const {
    JobRecord record;
    record.file = m_entries.value(number - 1);
    record.destination = m_options.destination;
    record.options = m_options.cupsOptions();
    record.started = m_entryStarted;
    return record;
}

void ShellRunView::writeRecord(const JobRecord& record) {
    if (m_report)
        m_report->write(record);
}

void ShellRunView::jobSent(int number, const SentJob& job) {
    m_withJobs.insert(number);
    JobRecord sent = record(number);
    sent.worksheet = job.worksheet;
    sent.destination = job.destination;
    sent.job = job.id;
    sent.pages = job.pages;
    sent.sent = job.sent;
    if (!m_watch) {
        writeRecord(sent);
        return;
    }
    m_following.insert(job.id, {number, sent});
    m_watch->follow(job.id, job.destination);
}

void ShellRunView::jobEnded(int job, const JobEnding& ending) {
    if (!m_following.contains(job))
        return;
    auto [number, ended] = m_following.take(job);
    // A queue without filters (raw) counts no pages: then those sent are all there is to say.
    if (ending.pages > 0)
        ended.pages = ending.pages;
    ended.ended = ending.at;
    ended.reason = ending.reason;
    QString outcome;
    switch (ending.state) {
    case JobEnding::State::Completed:
        ended.state = JobRecord::State::Completed;
        outcome = QStringLiteral("completed, job %1-%2, %3 pages")
                      .arg(ended.destination.section(QLatin1Char('/'), 0, 0))
                      .arg(job)
                      .arg(ended.pages);
        break;
    case JobEnding::State::Aborted:
    case JobEnding::State::Canceled:
        ended.state = ending.state == JobEnding::State::Aborted ? JobRecord::State::Aborted
                                                                : JobRecord::State::Canceled;
        m_failed.insert(number);
        outcome = JobReport::stateName(ended.state) + QStringLiteral(": ") + ending.reason;
        break;
    }
    const QString sheet =
        ended.worksheet > 0 ? QStringLiteral(", worksheet %1").arg(ended.worksheet) : QString();
    writeLine(QStringLiteral("[%1/%2] %3%4: %5")
                  .arg(number)
                  .arg(m_entries.size())
                  .arg(ended.file, sheet, outcome));
    writeRecord(ended);
}

void ShellRunView::printerStopped(const QString& printer, const QString& reasons) {
    writeLine(messages::shellPrefix() +
              QStringLiteral("printer %1 stopped: %2").arg(printer, reasons));
}

void ShellRunView::endReport(bool interrupted) {
    m_interrupted = interrupted && !m_following.isEmpty();
    for (const auto& [number, left] : std::as_const(m_following)) {
        JobRecord queued = left;
        queued.reason = QStringLiteral("The wait ended before the job did; it stays queued.");
        writeRecord(queued);
    }
    // The entry the run ended on, then those it never got to. An entry that sent jobs has
    // them for its records.
    QString reason = m_endReason;
    for (int number = 1; number <= m_entries.size(); ++number) {
        if (m_settled.contains(number) || m_withJobs.contains(number))
            continue;
        JobRecord missed = record(number);
        missed.state = JobRecord::State::NotPrinted;
        if (reason.isEmpty()) {
            missed.reason = QStringLiteral("The run ended before this entry.");
            missed.started = {};
        } else {
            missed.reason = std::exchange(reason, QString());
        }
        missed.ended = QDateTime::currentDateTimeUtc();
        writeRecord(missed);
    }
    if (!m_report)
        return;
    RunSummary summary;
    summary.destination = m_options.destination;
    summary.entries = static_cast<int>(m_entries.size());
    summary.printed = printedCount();
    summary.notPrinted = notPrintedCount();
    summary.exitStatus = exitStatus();
    summary.waited = m_watch != nullptr;
    summary.started = m_runStarted;
    summary.ended = QDateTime::currentDateTimeUtc();
    m_report->write(summary);
}

void ShellRunView::entrySentUnanswered(int number) {
    m_printed.insert(number);
    m_settled.insert(number);
    writeLine(QStringLiteral("[%1/%2] Sent: %3: %4")
                  .arg(number)
                  .arg(m_entries.size())
                  .arg(m_entries.value(number - 1), runtext::stoppedBeforeAnswer()));
    JobRecord sent = record(number);
    sent.state = JobRecord::State::Sent;
    sent.reason = runtext::stoppedBeforeAnswer();
    writeRecord(sent);
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
    m_endReason = oneLine(message);
    writeLine(messages::shellPrefix() + message);
}

void ShellRunView::passOver(int number, const QString& entry, const QString& reason) {
    m_settled.insert(number);
    JobRecord skipped = record(number);
    skipped.state = JobRecord::State::NotPrinted;
    skipped.reason = reason;
    skipped.ended = QDateTime::currentDateTimeUtc();
    writeRecord(skipped);
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

std::optional<DestinationCheck> acceptedDestination(const CheckJob& check,
                                                    const PrintOptions& options, QTextStream& err) {
    const DestinationCheck answer = check(options);
    if (answer.refusal.isEmpty() && !answer.destination.isEmpty())
        return answer;
    err << messages::shellPrefix() << answer.refusal << '\n';
    err.flush();
    return std::nullopt;
}

ShellRun::ShellRun(const QStringList& entries, QTextStream& err, SettingsStore& settings,
                   OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer,
                   const PrintOptions& options, int rejected, JobWatch* watch, JobReport* report)
    : m_err(err), m_view(entries, err, rejected, options, watch, report),
      m_run(std::make_unique<BatchRun>(m_view, m_view, settings, office, starter, pdfServer)) {
    m_run->setPrintOptions(options);
    connect(m_run.get(), &BatchRun::finished, this, &ShellRun::runOver);
    if (!watch)
        return;
    connect(watch, &JobWatch::jobEnded, this, [this](int job, const JobEnding& ending) {
        m_view.jobEnded(job, ending);
        if (m_runOver && !m_view.following())
            end();
    });
    connect(watch, &JobWatch::printerStopped, this,
            [this](const QString& printer, const QString& reasons) {
                m_view.printerStopped(printer, reasons);
            });
}

ShellRun::~ShellRun() = default;

void ShellRun::start() {
    m_run->start();
    // A run with nothing to print ends before it starts.
    if (!m_run->isRunning())
        QMetaObject::invokeMethod(this, &ShellRun::runOver, Qt::QueuedConnection);
}

void ShellRun::startWith(const QStringList& entries) {
    m_view.restart(entries);
    m_runOver = false;
    m_stopped = false;
    m_endedAlready = false;
    start();
}

void ShellRun::stop() {
    m_stopped = true;
    if (m_run->isRunning())
        m_run->requestStop();
    else if (m_runOver)
        end(); // the wait for the jobs
}

void ShellRun::runOver() {
    m_runOver = true;
    // A run that was stopped does not wait: its jobs stay queued.
    if (m_stopped || !m_view.following())
        end();
}

void ShellRun::end() {
    if (m_endedAlready)
        return;
    m_endedAlready = true;
    m_view.endReport(m_stopped);
    if (m_dryRun)
        m_dryRun->write(*m_out);
    // Nothing prints in a dry run: what would, and what would not.
    m_err << QString::fromLatin1(m_dryRun ? "%1 can print, %2 cannot."
                                          : "%1 printed, %2 not printed.")
                 .arg(m_view.printedCount())
                 .arg(m_view.notPrintedCount())
          << '\n';
    m_err.flush();
    Q_EMIT finished(m_view.exitStatus());
}

} // namespace qp
