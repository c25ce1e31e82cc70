#include "ConversationHandler.h"

#include "CommandRefused.h"
#include "JobSender.h"
#include "PdfExaminer.h"
#include "ServerCommand.h"

#include <QDir>

namespace qp::pdfserver {

ConversationHandler::ConversationHandler(PdfExaminer& examiner, JobSender& sender)
    : m_examiner(examiner), m_sender(sender) {}

void ConversationHandler::execute(const QString& commandText) {
    const ServerCommand command = parseCommand(commandText);
    // The server's working folder means nothing to the client, so a relative path would
    // silently name some other file.
    if (QDir::isRelativePath(command.path))
        throw CommandRefused(
            QStringLiteral("Cannot use %1: the path must be absolute.").arg(command.path),
            CommandRefused::Cause::Document);
    switch (command.kind) {
    case CommandKind::DocOpen:
        open(command.path);
        break;
    case CommandKind::FilePrintSilent:
        print(command.path);
        break;
    }
}

void ConversationHandler::open(const QString& path) {
    m_examiner.examine(path);
    m_opened.insert(path);
}

void ConversationHandler::print(const QString& path) {
    if (!m_opened.contains(path))
        throw CommandRefused(QStringLiteral("Cannot print %1: the document has not been opened. "
                                            "Open it with [DocOpen(\"path\")] first.")
                                 .arg(path));
    // Looked at again: the file may have changed or gone since it was opened.
    const PdfFacts facts = m_examiner.examine(path);
    if (!facts.printingAllowed)
        throw CommandRefused(
            QStringLiteral("Cannot print %1: the document does not allow printing.").arg(path),
            CommandRefused::Cause::Document);
    m_sender.send(path);
}

} // namespace qp::pdfserver
