#include "ConversationHandler.h"

#include "CommandRefused.h"
#include "JobSender.h"
#include "PdfExaminer.h"

#include <QDir>

namespace qp::pdfserver {

namespace {

// The server's working folder means nothing to the client, so a relative path would
// silently name some other file.
void requireAbsolute(const QString& path) {
    if (QDir::isRelativePath(path))
        throw CommandRefused(QStringLiteral("Cannot use %1: the path must be absolute.").arg(path),
                             CommandRefused::Cause::Document);
}

} // namespace

ConversationHandler::ConversationHandler(PdfExaminer& examiner, JobSender& sender)
    : m_examiner(examiner), m_sender(sender) {}

void ConversationHandler::open(const QString& path) {
    requireAbsolute(path);
    m_examiner.examine(path);
    m_opened.insert(path);
}

ConversationHandler::Printed ConversationHandler::print(const QString& path,
                                                        const QString& destination,
                                                        const QStringList& options) {
    requireAbsolute(path);
    if (!m_opened.contains(path))
        throw CommandRefused(QStringLiteral("Cannot print %1: the document has not been opened. "
                                            "Open it with OpenDocument first.")
                                 .arg(path));
    // Looked at again: the file may have changed or gone since it was opened.
    const PdfFacts facts = m_examiner.examine(path);
    if (!facts.printingAllowed)
        throw CommandRefused(
            QStringLiteral("Cannot print %1: the document does not allow printing.").arg(path),
            CommandRefused::Cause::Document);
    return {m_sender.send(path, destination, options), facts.pageCount};
}

} // namespace qp::pdfserver
