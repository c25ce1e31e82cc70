#include "printing/PdfPrinter.h"

#include "core/AppError.h"
#include "core/Prompter.h"
#include "printing/BatchRunView.h"
#include "printing/ProgramStarter.h"
#include "printing/WaitClock.h"

#include <QFileInfo>

namespace qp {

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString notSetUpMessage(const QString& entry) {
    return QStringLiteral("Cannot print ") + entry + CrLf +
           QStringLiteral("Acrobat has not been properly set up.") + CrLf +
           QStringLiteral("Please use \"File -> Locate Acrobat\" before trying to print .pdf "
                          "files");
}

} // namespace

void PdfPrinter::print(const QString& entry, const QString& acrobatPath, bool& acrobatStarted) {
    if (acrobatPath.isEmpty()) {
        m_prompter.tell(notSetUpMessage(entry), QStringLiteral("Cannot print..."),
                        PromptIcon::Information);
        m_view.setSkipSaveOffer(true);
        return;
    }
    // The path goes into the commands between double quotes, unescaped: a quote inside it
    // would end the argument early and let the rest of the path pass as commands of its own.
    // Such an entry is one the run cannot use, like a document that cannot be bound.
    if (entry.contains(QLatin1Char('"')))
        throw AppError(ErrorNumber::CannotBind,
                       QStringLiteral("The path contains a double quote, which cannot be "
                                      "passed to the PDF program."));

    bool programJustStarted = false;
    if (!acrobatStarted) {
        m_starter.start(acrobatPath);
        acrobatStarted = true;
        programJustStarted = true;
    }

    // A command that failed left its entry's connection behind.
    m_server.disconnect();
    try {
        connectToServer(programJustStarted);
    } catch (const AppError& error) {
        // The program leaves after a while without commands, which the Office entries of a
        // long run can outlast: start it again, once, before taking it for missing.
        if (programJustStarted || error.number() != ErrorNumber::ConversationNoAnswer)
            throw;
        m_starter.start(acrobatPath);
        connectToServer(true);
    }

    // The program does not share this program's working folder: a relative entry names a
    // file from here, as it does for Office entries.
    const QString document = QFileInfo(entry).absoluteFilePath();
    m_server.openDocument(document, m_commandTimeout);
    m_commandTimeout = CommandTimeout;
    m_server.printDocument(document, m_commandTimeout);
    m_server.disconnect();
}

void PdfPrinter::connectToServer(bool programJustStarted) {
    // A program that was just started needs a moment before it answers; without this wait
    // the first PDF after every start would fail and wipe the stored program path.
    const auto deadline = m_clock.now() + StartupAnswerWait;
    for (;;) {
        try {
            m_server.connect();
            return;
        } catch (const AppError& error) {
            if (!programJustStarted || error.number() != ErrorNumber::ConversationNoAnswer ||
                m_clock.now() >= deadline)
                throw;
        }
        m_view.repaintNow();
        m_clock.sleepFor(AnswerRetryPause);
    }
}

} // namespace qp
