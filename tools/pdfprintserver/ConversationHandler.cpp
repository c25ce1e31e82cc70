#include "ConversationHandler.h"

#include "CommandRefused.h"
#include "JobSender.h"
#include "PdfExaminer.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

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

ConversationHandler::FileState ConversationHandler::fileState(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {static_cast<qint64>(status.st_dev),
            static_cast<qint64>(status.st_ino),
            static_cast<qint64>(status.st_size),
            status.st_mtim.tv_sec,
            status.st_mtim.tv_nsec,
            status.st_ctim.tv_sec,
            status.st_ctim.tv_nsec};
}

void ConversationHandler::open(const QString& path) {
    requireAbsolute(path);
    const FileState state = fileState(path);
    m_opened.insert(path, {state, m_examiner.examine(path)});
}

ConversationHandler::Printed ConversationHandler::print(const QString& path,
                                                        const QString& destination,
                                                        const QStringList& options) {
    requireAbsolute(path);
    const auto opened = m_opened.constFind(path);
    if (opened == m_opened.cend())
        throw CommandRefused(QStringLiteral("Cannot print %1: the document has not been opened. "
                                            "Open it with OpenDocument first.")
                                 .arg(path));
    // Looked at again only when the file has changed or gone since it was opened: reading
    // the same file twice would cost every job a second pass of the PDF's structure.
    const FileState state = fileState(path);
    const PdfFacts facts =
        state == opened->state && state != FileState{} ? opened->facts : m_examiner.examine(path);
    if (!facts.printingAllowed)
        throw CommandRefused(
            QStringLiteral("Cannot print %1: the document does not allow printing.").arg(path),
            CommandRefused::Cause::Document);
    return {m_sender.send(path, destination, options), facts.pageCount};
}

} // namespace qp::pdfserver
