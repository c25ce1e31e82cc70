#include "printing/PromptedRunReport.h"

#include "core/Messages.h"
#include "core/Prompter.h"

namespace qp {

bool PromptedRunReport::addPendingPath(const QString& path) {
    return m_prompter.askYesNo(QStringLiteral("The file ") + path +
                                   QStringLiteral(" has not been added to the list.\r\n"
                                                  "Would you like to add it?"),
                               QStringLiteral("Add File..."), PromptIcon::Question);
}

void PromptedRunReport::pdfProgramMissing(int, const QString& entry) {
    m_prompter.tell(runtext::pdfProgramMissing(entry), QStringLiteral("Cannot print..."),
                    PromptIcon::Information);
}

bool PromptedRunReport::continueAfterUnusableEntry(int, const QString& entry,
                                                   const QString& reason) {
    return m_prompter.ask(runtext::unusableEntry(entry), QStringLiteral("File does not exist..."),
                          PromptButtons::YesNo, PromptIcon::Question, reason) == PromptAnswer::Yes;
}

bool PromptedRunReport::offerSave() {
    return m_prompter.askYesNo(
        QStringLiteral("Would you like to save this batch for printing at a later date?"),
        QStringLiteral("Save batch..."), PromptIcon::Question);
}

void PromptedRunReport::runEnded(const RunEnd& end) {
    switch (end.kind) {
    case RunEnd::Kind::NoDefaultPrinter:
        m_prompter.tell(messages::noDefaultPrinter(), QStringLiteral("No default printer..."),
                        PromptIcon::Exclamation);
        return;
    case RunEnd::Kind::PdfProgramSilent:
        m_prompter.tell(runtext::pdfProgramSilent(), QStringLiteral("Problem with acrobat..."),
                        PromptIcon::Exclamation);
        // The stored path still points at the program that did not answer; say so rather
        // than let the next run fail the same way without explanation.
        if (!end.settingsFailure.isEmpty())
            m_prompter.tell(runtext::failure(end.settingsFailureNumber, end.settingsFailure),
                            messages::errorTitle(), PromptIcon::Critical);
        return;
    case RunEnd::Kind::Failure:
        m_prompter.tell(runtext::failure(end.number, end.description), messages::errorTitle(),
                        PromptIcon::Critical);
        return;
    case RunEnd::Kind::Stopped:
        return;
    }
}

} // namespace qp
