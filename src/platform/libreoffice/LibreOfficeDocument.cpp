#include "platform/libreoffice/LibreOfficeDocument.h"

#include "core/AppError.h"
#include "platform/CupsRefusal.h"
#include "platform/libreoffice/OfficeConnection.h"
#include "platform/libreoffice/OfficeSession.h"

#include <QTemporaryDir>

namespace qp {

namespace {

QString fileName(const QString& path) {
    return path.section(QLatin1Char('/'), -1);
}

} // namespace

LibreOfficeDocument::LibreOfficeDocument(std::shared_ptr<OfficeConnection> host,
                                         CupsPrinters printers, PrintOptions options, QString path,
                                         int id, quint64 generation,
                                         std::chrono::milliseconds bound,
                                         std::shared_ptr<int> openCount,
                                         std::shared_ptr<std::vector<RenderedJob>> rendered)
    : m_host(std::move(host)), m_printers(std::move(printers)), m_options(std::move(options)),
      m_path(std::move(path)), m_id(id), m_generation(generation), m_bound(bound),
      m_openCount(std::move(openCount)), m_rendered(std::move(rendered)) {
    ++*m_openCount;
}

LibreOfficeDocument::~LibreOfficeDocument() {
    if (!m_closed && m_host->isCurrent(m_generation)) {
        // Nothing may leave a destructor: a failing close has killed the office already,
        // which drops the document too.
        try {
            close();
        } catch (...) {
        }
    }
    markClosed();
}

void LibreOfficeDocument::markClosed() {
    if (!m_closed)
        --*m_openCount;
    m_closed = true;
}

void LibreOfficeDocument::requireLoaded() const {
    if (m_closed)
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("%1 has already been closed.").arg(fileName(m_path)));
    if (!m_host->isCurrent(m_generation))
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("%1 is no longer loaded: LibreOffice ended since it was "
                                      "opened.")
                           .arg(fileName(m_path)));
}

void LibreOfficeDocument::work(const QString& what, std::function<void(OfficeSession&)> task) {
    m_host->run(OfficeConnection::Phase::Working, what.arg(fileName(m_path)), m_bound,
                std::move(task));
}

void LibreOfficeDocument::activate() {
    requireLoaded();
    const int document = m_id;
    work(QStringLiteral("activating %1"), [document](OfficeSession& s) { s.activate(document); });
}

void LibreOfficeDocument::print() {
    printJob(-1);
}

bool LibreOfficeDocument::backgroundPrintingPending() {
    requireLoaded();
    // Printing returns only when the job has been handed to CUPS: nothing is pending.
    return false;
}

int LibreOfficeDocument::sheetCount() {
    requireLoaded();
    auto count = std::make_shared<int>(0);
    const int id = m_id;
    work(QStringLiteral("counting the worksheets of %1"),
         [id, count](OfficeSession& s) { *count = s.isSpreadsheet(id) ? s.sheetCount(id) : -1; });
    if (*count < 0)
        throw AppError(
            ErrorNumber::MemberNotSupported,
            QStringLiteral("%1 is not a workbook: it has no worksheets.").arg(fileName(m_path)));
    return *count;
}

void LibreOfficeDocument::printSheet(int index) {
    // The office would print a document that is no workbook whole, and a sheet that is not
    // there not at all.
    const int count = sheetCount();
    if (index < 1 || index > count)
        throw AppError(ErrorNumber::SubscriptOutOfRange,
                       QStringLiteral("Subscript out of range: %1 has %2 worksheets, not "
                                      "one numbered %3.")
                           .arg(fileName(m_path))
                           .arg(count)
                           .arg(index));
    auto visible = std::make_shared<bool>(true);
    const int id = m_id;
    work(QStringLiteral("looking at worksheet %1 of %2").arg(index),
         [id, index, visible](OfficeSession& s) { *visible = s.isSheetVisible(id, index - 1); });
    // A hidden worksheet stays out of print, as it does when the whole workbook prints.
    if (*visible)
        printJob(index - 1);
}

void LibreOfficeDocument::printJob(int sheetIndex) {
    requireLoaded();
    // Without a default destination there is nowhere to send the job: find out before
    // anything is rendered. A destination chosen by name was asked about before the run.
    const QString printer = m_options.destination.isEmpty()
                                ? m_printers.requireAcceptingDefaultDestination(m_path)
                                : m_options.destination;
    auto folder = std::make_shared<const QTemporaryDir>();
    if (!folder->isValid())
        throw AppError(ErrorNumber::AutomationError,
                       cups::cannotPrintText(m_path, printer, folder->errorString()));
    const QString pdf = folder->filePath(QStringLiteral("job.pdf"));
    const int document = m_id;
    const QString what = sheetIndex < 0
                             ? QStringLiteral("printing %1")
                             : QStringLiteral("printing worksheet %1 of %2").arg(sheetIndex + 1);
    auto rendered = std::make_shared<bool>(false);
    work(what, [document, sheetIndex, pdf, rendered](OfficeSession& s) {
        *rendered = s.exportPdf(document, sheetIndex, pdf);
    });
    // A worksheet without a single page to print sends no job, and loses nothing.
    if (*rendered)
        m_rendered->push_back({folder, pdf, m_path, sheetIndex + 1, printer, m_options});
}

void LibreOfficeDocument::close() {
    requireLoaded();
    markClosed();
    const int document = m_id;
    work(QStringLiteral("closing %1"), [document](OfficeSession& s) { s.close(document); });
}

} // namespace qp
