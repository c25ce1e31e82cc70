#include "printing/BatchRun.h"

#include "core/AppError.h"
#include "core/Messages.h"
#include "core/SettingsKeys.h"
#include "core/SettingsStore.h"
#include "printing/BatchRunView.h"
#include "printing/EntryKind.h"
#include "printing/RunReport.h"

#include <limits>
#include <new>
#include <utility>

namespace qp {

namespace {

// Failures that are not AppErrors (a library's own exception) still end the run with a
// number the user can report.
constexpr ErrorNumber UnexpectedFailure = ErrorNumber::UnexpectedFailure;

struct Failure {
    ErrorNumber number;
    QString description;
};

Failure describe(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const AppError& error) {
        return {error.number(), error.description()};
    } catch (const std::bad_alloc&) {
        return {ErrorNumber::OutOfMemory, messages::outOfMemory()};
    } catch (const std::exception& error) {
        return {UnexpectedFailure, QString::fromLocal8Bit(error.what())};
    } catch (...) {
        return {UnexpectedFailure, QStringLiteral("Unexpected failure")};
    }
}

bool isUnusableEntry(ErrorNumber number) {
    return number == ErrorNumber::CannotBind;
}

// Steps of the failure handling must not stop the ones after them: the window has to get
// back to its ready state whatever else goes wrong.
template <typename Step> void attempt(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

} // namespace

BatchRun::BatchRun(BatchRunView& view, RunReport& report, SettingsStore& settings,
                   OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer,
                   QObject* parent)
    : QObject(parent), m_view(view), m_report(report), m_settings(settings), m_office(office),
      m_pdfPrinter(starter, pdfServer) {
    m_stopGrace.setSingleShot(true);
    connect(&m_stopGrace, &QTimer::timeout, this, &BatchRun::giveUpEntry);
}

BatchRun::~BatchRun() = default;

void BatchRun::start() {
    if (m_running || m_view.entryCount() <= 0)
        return;
    m_running = true;
    m_stopRequested = false;
    m_held = nullptr;
    try {
        begin();
    } catch (...) {
        endAfterFailure(std::current_exception());
        return;
    }
    printNext();
}

void BatchRun::begin() {
    const int entryCount = m_view.entryCount();
    if (entryCount > std::numeric_limits<qint16>::max())
        throw AppError(ErrorNumber::Overflow, messages::overflow());
    m_lastPosition = entryCount - 1;
    m_position = 0;

    settlePendingPath();
    m_view.startProgress(entryCount);
    m_pdfProgram =
        m_settings.read(settings::application(), settings::section(), settings::acrobatKey());
    m_runOptions = m_options;
    if (m_runOptions.destination.isEmpty() && m_defaultDestination)
        m_runOptions.destination = m_defaultDestination();
    m_pdfPrinter.startRun();
    QStringList entries;
    for (int position = 0; position <= m_lastPosition; ++position)
        entries << m_view.entry(position);
    m_office.startRun(entries, m_runOptions);
    m_view.showBusyPointer();
}

void BatchRun::settlePendingPath() {
    const QString pending = m_view.typedPath();
    if (pending.isEmpty())
        return;
    if (m_report.addPendingPath(pending))
        m_view.addTypedPath();
    else
        m_view.clearTypedPath();
}

bool BatchRun::held(std::function<void()> step) {
    if (!m_paused)
        return false;
    m_held = std::move(step);
    return true;
}

void BatchRun::resume() {
    m_paused = false;
    if (!m_held)
        return;
    // From the event loop: whoever resumes is still on the way out of its question.
    QMetaObject::invokeMethod(
        this,
        [this, step = std::exchange(m_held, nullptr)] {
            if (m_running)
                step();
        },
        Qt::QueuedConnection);
}

void BatchRun::printNext() {
    if (held([this] { printNext(); }))
        return;
    if (m_stopRequested) {
        stop();
        return;
    }
    // Entries removed from the list meanwhile are not there to print.
    if (m_position > m_lastPosition || m_position >= m_view.entryCount()) {
        offerToSave();
        return;
    }
    try {
        m_office.reach(m_position);
        m_entry = m_view.entry(m_position);
        const int total = m_lastPosition + 1;
        m_view.setProgress(m_position + 1, total);
        m_view.setStatus(QStringLiteral("Preparing ") + m_entry + QStringLiteral(" for printing."));
        m_report.entryStarted(m_position + 1, total, m_entry);
        m_awaitingEntry = true;
        const auto done = [this](std::exception_ptr failure, const SentJobs& jobs) {
            entryDone(failure, jobs);
        };
        if (!isPdfEntry(m_entry)) {
            m_office.take(m_position, [this](OfficePool::Rendered rendered) {
                sendRendered(std::move(rendered), {});
            });
        } else if (m_pdfProgram.isEmpty()) {
            // Not a failure: the entry is passed over and the batch is not offered for saving.
            m_awaitingEntry = false;
            m_report.pdfProgramMissing(m_position + 1, m_entry);
            m_view.setSkipSaveOffer(true);
            goOn();
        } else {
            m_pdfPrinter.print(m_entry, m_pdfProgram, m_runOptions, done);
        }
    } catch (...) {
        m_awaitingEntry = false;
        endAfterFailure(std::current_exception());
    }
}

void BatchRun::sendRendered(OfficePool::Rendered rendered, SentJobs sent) {
    if (rendered.jobs.empty()) {
        entryDone(rendered.failure, sent);
        return;
    }
    const RenderedJob job = rendered.jobs.front();
    rendered.jobs.erase(rendered.jobs.begin());
    m_office.send(job, [this, rendered = std::move(rendered), sent](std::exception_ptr failure,
                                                                    const SentJob& taken) mutable {
        if (taken.id > 0)
            sent.append(taken);
        if (failure)
            entryDone(failure, sent);
        else
            sendRendered(std::move(rendered), std::move(sent));
    });
}

void BatchRun::entryDone(std::exception_ptr failure, const SentJobs& jobs) {
    if (!m_awaitingEntry)
        return; // an entry given up by a stop
    if (held([this, failure, jobs] { entryDone(failure, jobs); }))
        return;
    m_awaitingEntry = false;
    for (const SentJob& job : jobs)
        attempt([&] { m_report.jobSent(m_position + 1, job); });
    if (!failure) {
        m_report.entryPrinted(m_position + 1);
        goOn();
        return;
    }
    const Failure described = describe(failure);
    if (m_stopRequested) {
        // A stop ends the run, but a PDF program that did not answer is forgotten all the
        // same: the next run must not count on it.
        if (described.number == ErrorNumber::ConversationNoAnswer) {
            RunEnd unused;
            forgetPdfProgram(unused);
        }
        stop();
        return;
    }
    if (isUnusableEntry(described.number)) {
        unusableEntry(described.description);
        return;
    }
    endAfterFailure(failure);
}

void BatchRun::goOn() {
    ++m_position;
    // From the event loop: a long row of entries passed over must not pile up calls.
    QMetaObject::invokeMethod(this, &BatchRun::printNext, Qt::QueuedConnection);
}

void BatchRun::unusableEntry(const QString& reason) {
    const QString entry = m_position < m_view.entryCount() ? m_view.entry(m_position) : m_entry;
    bool goOnWithNext = false;
    try {
        const QString message = entry + QStringLiteral(" is not a valid file. ");
        m_view.setStatus(message);
        goOnWithNext = m_report.continueAfterUnusableEntry(m_position + 1, entry, reason);
    } catch (...) {
        endAfterFailure(std::current_exception());
        return;
    }
    if (goOnWithNext) {
        goOn();
        return;
    }
    attempt([&] { m_view.setReadyState(); });
    finish();
}

void BatchRun::offerToSave() {
    try {
        if (!m_view.skipSaveOffer() && m_report.offerSave())
            m_view.saveBatch();
        m_view.setReadyState();
    } catch (...) {
        endAfterFailure(std::current_exception());
        return;
    }
    finish();
}

void BatchRun::requestStop() {
    if (!m_running)
        return;
    if (m_stopRequested) {
        giveUpEntry();
        return;
    }
    m_stopRequested = true;
    if (m_awaitingEntry)
        m_stopGrace.start(StopGrace);
}

void BatchRun::giveUpEntry() {
    m_stopGrace.stop();
    if (!m_awaitingEntry)
        return;
    if (!isPdfEntry(m_entry)) {
        // Nothing of the entry has gone to CUPS yet: a hung office is not waited out.
        m_office.abort();
        return;
    }
    m_awaitingEntry = false;
    if (m_pdfPrinter.printCommandSent())
        attempt([&] { m_report.entrySentUnanswered(m_position + 1); });
    m_pdfPrinter.abandon();
    QMetaObject::invokeMethod(this, &BatchRun::stop, Qt::QueuedConnection);
}

void BatchRun::stop() {
    attempt([&] { m_report.runEnded({RunEnd::Kind::Stopped, 0, {}, 0, {}}); });
    endInReadyState();
}

void BatchRun::endAfterFailure(std::exception_ptr failure) {
    const Failure described = describe(failure);
    switch (described.number) {
    case ErrorNumber::NoDefaultPrinter:
        endWithoutDefaultPrinter();
        return;
    case ErrorNumber::ConversationNoAnswer:
        endWithoutPdfProgram();
        return;
    default:
        endWithError(described.number, described.description);
        return;
    }
}

void BatchRun::endWithoutDefaultPrinter() {
    attempt([&] { m_report.runEnded({RunEnd::Kind::NoDefaultPrinter, 0, {}, 0, {}}); });
    endInReadyState();
}

void BatchRun::endWithoutPdfProgram() {
    RunEnd end{
        RunEnd::Kind::PdfProgramSilent, userNumber(ErrorNumber::ConversationNoAnswer), {}, 0, {}};
    forgetPdfProgram(end);
    attempt([&] { m_report.runEnded(end); });
    endInReadyState();
}

void BatchRun::forgetPdfProgram(RunEnd& end) {
    try {
        m_settings.write(settings::application(), settings::section(), settings::acrobatKey(),
                         QString());
        m_settings.write(settings::application(), settings::section(),
                         settings::acrobatDeclinedKey(), QStringLiteral("0"));
    } catch (const AppError& error) {
        end.settingsFailureNumber = error.userNumber();
        end.settingsFailure = error.description();
    } catch (...) {
        end.settingsFailureNumber = userNumber(UnexpectedFailure);
        end.settingsFailure = QStringLiteral("The settings could not be written.");
    }
    attempt([&] { m_view.showLocatePdfServer(); });
}

void BatchRun::endWithError(ErrorNumber number, const QString& description) {
    attempt([&] {
        m_report.runEnded({RunEnd::Kind::Failure, userNumber(number), description, 0, {}});
    });
    endInReadyState();
}

void BatchRun::endInReadyState() {
    attempt([&] { m_view.setReadyState(); });
    attempt([&] { m_view.restoreDefaultPointer(); });
    finish();
}

void BatchRun::finish() {
    m_stopGrace.stop();
    // Nothing rendered ahead goes out after the run.
    m_office.endRun();
    m_running = false;
    Q_EMIT finished();
}

} // namespace qp
