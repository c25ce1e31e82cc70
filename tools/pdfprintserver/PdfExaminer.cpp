#include "PdfExaminer.h"

#include "CommandRefused.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <poppler-document.h>
#include <poppler-global.h>

namespace qp::pdfserver {

namespace {

void ignorePopplerMessage(const std::string&, void*) {}

QString cannotOpen(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open %1: %2").arg(path, reason);
}

} // namespace

PopplerPdfExaminer::PopplerPdfExaminer() {
    // poppler reports every repair it makes on stderr; the refusals below say what matters.
    poppler::set_debug_error_function(ignorePopplerMessage, nullptr);
}

PdfFacts PopplerPdfExaminer::examine(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw CommandRefused(cannotOpen(path, QStringLiteral("the file does not exist.")),
                             CommandRefused::Cause::Document);
    // A pipe or a device would block the server or never end; only plain files are documents.
    if (!info.isFile())
        throw CommandRefused(cannotOpen(path, QStringLiteral("it is not a file.")),
                             CommandRefused::Cause::Document);
    if (!info.isReadable())
        throw CommandRefused(cannotOpen(path, QStringLiteral("the file cannot be read.")),
                             CommandRefused::Cause::Document);

    std::unique_ptr<poppler::document> document(
        poppler::document::load_from_file(QFile::encodeName(path).toStdString()));
    // poppler repairs what it can; what it hands back nothing for is beyond repair. A file
    // it could not decrypt comes back locked instead.
    if (!document)
        throw CommandRefused(
            cannotOpen(path,
                       QStringLiteral("it is not a PDF document or it is damaged beyond repair.")),
            CommandRefused::Cause::Document);
    if (document->is_locked())
        throw CommandRefused(
            cannotOpen(path, QStringLiteral("the document is protected by a password.")),
            CommandRefused::Cause::Document);
    PdfFacts facts;
    facts.pageCount = document->pages();
    if (facts.pageCount <= 0)
        throw CommandRefused(cannotOpen(path, QStringLiteral("the document has no pages.")),
                             CommandRefused::Cause::Document);
    facts.printingAllowed = document->has_permission(poppler::perm_print);
    return facts;
}

} // namespace qp::pdfserver
