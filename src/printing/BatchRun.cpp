#include "printing/BatchRun.h"

#include "core/AppError.h"
#include "core/Messages.h"
#include "core/Prompter.h"
#include "core/SettingsKeys.h"
#include "core/SettingsStore.h"
#include "printing/BatchRunView.h"
#include "printing/EntryKind.h"
#include "printing/OfficeDocument.h"

#include <limits>
#include <new>
#include <optional>

namespace qp {

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Failures that are not AppErrors (a library's own exception) still end the run with a
// number the user can report.
constexpr ErrorNumber UnexpectedFailure = ErrorNumber::UnexpectedFailure;

bool isUnusableEntry(const AppError& error) {
    return error.number() == ErrorNumber::CannotBind;
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

BatchRun::BatchRun(BatchRunView& view, Prompter& prompter, SettingsStore& settings,
                   OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer)
    : BatchRun(view, prompter, settings, office, starter, pdfServer, m_steadyClock) {}

BatchRun::BatchRun(BatchRunView& view, Prompter& prompter, SettingsStore& settings,
                   OfficeApplication& office, ProgramStarter& starter, PdfPrintServer& pdfServer,
                   WaitClock& clock)
    : m_view(view), m_prompter(prompter), m_settings(settings), m_office(office), m_clock(clock),
      m_officePrinter(view), m_pdfPrinter(view, prompter, starter, pdfServer, m_clock) {}

BatchRun::~BatchRun() = default;

void BatchRun::run() {
    // The wait for background printing lets events through, "Print Batch" included; a
    // second run nested inside the first would print the same entries again.
    if (m_running)
        return;
    if (m_view.entryCount() <= 0)
        return;

    m_running = true;
    struct RunningFlag {
        bool& running;
        ~RunningFlag() { running = false; }
    } runningFlag{m_running};

    try {
        runStarted();
    } catch (const AppError& error) {
        endAfterFailure(error);
    } catch (const std::bad_alloc&) {
        endAfterFailure(AppError(ErrorNumber::OutOfMemory, messages::outOfMemory()));
    } catch (const std::exception& error) {
        endAfterFailure(AppError(UnexpectedFailure, QString::fromLocal8Bit(error.what())));
    } catch (...) {
        endAfterFailure(AppError(UnexpectedFailure, QStringLiteral("Unexpected failure")));
    }
}

void BatchRun::runStarted() {
    const int entryCount = m_view.entryCount();
    if (entryCount > std::numeric_limits<qint16>::max())
        throw AppError(ErrorNumber::Overflow, messages::overflow());
    const int lastPosition = entryCount - 1;

    settlePendingPath();
    m_view.startProgress(entryCount);
    const QString acrobatPath =
        m_settings.read(settings::application(), settings::section(), settings::acrobatKey());
    m_view.showBusyPointer();

    if (!printEntries(lastPosition, acrobatPath))
        return;

    offerToSave();
    m_view.setReadyState();
}

void BatchRun::settlePendingPath() {
    const QString pending = m_view.typedPath();
    if (pending.isEmpty())
        return;
    const bool add = m_prompter.askYesNo(QStringLiteral("The file ") + pending +
                                             QStringLiteral(" has not been added to the list.") +
                                             CrLf + QStringLiteral("Would you like to add it?"),
                                         QStringLiteral("Add File..."), PromptIcon::Question);
    if (add)
        m_view.addTypedPath();
    else
        m_view.clearTypedPath();
}

bool BatchRun::printEntries(int lastPosition, const QString& acrobatPath) {
    bool acrobatStarted = false;
    for (int position = 0; position <= lastPosition; ++position) {
        // The list stays editable while a Word document prints in the background; entries
        // removed then are not there to print.
        if (position >= m_view.entryCount())
            break;
        const QString entry = m_view.entry(position);
        m_view.setProgress(position + 1, lastPosition + 1);
        m_view.setStatus(QStringLiteral("Preparing ") + entry + QStringLiteral(" for printing."));
        m_view.repaintNow();
        try {
            printEntry(entry, acrobatPath, acrobatStarted);
        } catch (const AppError& error) {
            if (!isUnusableEntry(error))
                throw;
            m_view.noteUnusableEntry(error.description());
            if (!askToContinueAfterUnusableEntry(position, entry)) {
                releaseDocument();
                m_view.setReadyState();
                return false;
            }
        }
        releaseDocument();
    }
    return true;
}

void BatchRun::printEntry(const QString& entry, const QString& acrobatPath, bool& acrobatStarted) {
    if (isPdfEntry(entry)) {
        m_pdfPrinter.print(entry, acrobatPath, acrobatStarted);
        return;
    }
    m_document = m_office.open(entry);
    m_officePrinter.print(*m_document, officeEntryKind(entry));
}

bool BatchRun::askToContinueAfterUnusableEntry(int position, const QString& entryAtStart) {
    const QString entry = position < m_view.entryCount() ? m_view.entry(position) : entryAtStart;
    const QString message = entry + QStringLiteral(" is not a valid file. ");
    m_view.setStatus(message);
    m_view.repaintNow();
    return m_prompter.askYesNo(message + QStringLiteral(" Do you wish to continue?"),
                               QStringLiteral("File does not exist..."), PromptIcon::Question);
}

void BatchRun::offerToSave() {
    if (m_view.skipSaveOffer())
        return;
    if (m_prompter.askYesNo(
            QStringLiteral("Would you like to save this batch for printing at a later date?"),
            QStringLiteral("Save batch..."), PromptIcon::Question))
        m_view.saveBatch();
}

void BatchRun::endAfterFailure(const AppError& error) {
    switch (error.number()) {
    case ErrorNumber::NoDefaultPrinter:
        endWithoutDefaultPrinter();
        return;
    case ErrorNumber::ConversationNoAnswer:
        endWithoutAcrobat();
        return;
    default:
        endWithError(error);
        return;
    }
}

void BatchRun::endWithoutDefaultPrinter() {
    attempt([&] {
        m_prompter.tell(messages::noDefaultPrinter(), QStringLiteral("No default printer..."),
                        PromptIcon::Exclamation);
    });
    // The document was opened for printing; leave nothing of it open in the application.
    if (m_document)
        attempt([&] { m_document->close(); });
    releaseDocument();
    attempt([&] { m_view.setReadyState(); });
    attempt([&] { m_view.restoreDefaultPointer(); });
}

void BatchRun::endWithoutAcrobat() {
    std::optional<AppError> settingsFailure;
    try {
        m_settings.write(settings::application(), settings::section(), settings::acrobatKey(),
                         QString());
        m_settings.write(settings::application(), settings::section(),
                         settings::acrobatDeclinedKey(), QStringLiteral("0"));
    } catch (const AppError& error) {
        settingsFailure = error;
    } catch (...) {
        settingsFailure =
            AppError(UnexpectedFailure, QStringLiteral("The settings could not be written."));
    }
    attempt([&] { m_view.showLocatePdfServer(); });
    attempt([&] {
        m_prompter.tell(QStringLiteral("There was a problem with finding Acrobat. Please select "
                                       "Locate Acrobat from the File menu."),
                        QStringLiteral("Problem with acrobat..."), PromptIcon::Exclamation);
    });
    // The stored path still points at the program that did not answer; say so rather than
    // let the next run fail the same way without explanation.
    if (settingsFailure)
        attempt([&] { tellError(*settingsFailure); });
    releaseDocument();
    attempt([&] { m_view.setReadyState(); });
    attempt([&] { m_view.restoreDefaultPointer(); });
}

void BatchRun::endWithError(const AppError& error) {
    attempt([&] { tellError(error); });
    releaseDocument();
    attempt([&] { m_view.setReadyState(); });
    attempt([&] { m_view.restoreDefaultPointer(); });
}

void BatchRun::tellError(const AppError& error) {
    m_prompter.tell(QStringLiteral("Error: ") + QString::number(error.userNumber()) + CrLf +
                        error.description() + CrLf +
                        QStringLiteral("As a result the batch will be terminated."),
                    messages::errorTitle(), PromptIcon::Critical);
}

void BatchRun::releaseDocument() {
    m_document.reset();
}

} // namespace qp
