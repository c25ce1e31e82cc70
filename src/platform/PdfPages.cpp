#include "platform/PdfPages.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <poppler-document.h>
#include <poppler-global.h>

namespace qp {

namespace {

void ignorePopplerMessage(const std::string&, void*) {}

} // namespace

int printablePdfPages(const QString& path) {
    // A pipe or a device would never end; only plain files are documents.
    if (!QFileInfo(path).isFile())
        return -1;
    // poppler reports every repair it makes on stderr: what matters here is the count.
    poppler::set_debug_error_function(ignorePopplerMessage, nullptr);
    const std::unique_ptr<poppler::document> document(
        poppler::document::load_from_file(QFile::encodeName(path).toStdString()));
    if (!document || document->is_locked() || !document->has_permission(poppler::perm_print))
        return -1;
    return document->pages();
}

} // namespace qp
