#include "platform/libreoffice/LibreOfficeDocument.h"

#include "core/AppError.h"
#include "platform/CupsJobWatch.h"
#include "platform/CupsRefusal.h"
#include "platform/libreoffice/OfficeHost.h"
#include "platform/libreoffice/OfficeSession.h"

namespace qp {

namespace {

// How long a job may take to show in CUPS after LibreOffice returned from printing it.
constexpr std::chrono::milliseconds ConfirmationWindow{3000};

QString fileName(const QString& path) {
    return path.section(QLatin1Char('/'), -1);
}

} // namespace

LibreOfficeDocument::LibreOfficeDocument(std::shared_ptr<OfficeHost> host, CupsPrinters printers,
                                         QString path, int id, quint64 generation,
                                         std::chrono::milliseconds bound,
                                         std::shared_ptr<int> openCount)
    : m_host(std::move(host)), m_printers(std::move(printers)), m_path(std::move(path)), m_id(id),
      m_generation(generation), m_bound(bound), m_openCount(std::move(openCount)) {
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
    m_host->run(OfficeHost::Phase::Working, what.arg(fileName(m_path)), m_bound, std::move(task));
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
    // Without a default destination LibreOffice would print to a printer of its own
    // choosing, or nowhere, and it drops a job that CUPS refuses without a word: find out
    // before anything is rendered.
    const QString printer = m_printers.requireAcceptingDefaultDestination(m_path);
    CupsJobWatch watch(printer, m_path, m_bound);
    const int document = m_id;
    const QString what = sheetIndex < 0
                             ? QStringLiteral("printing %1")
                             : QStringLiteral("printing worksheet %1 of %2").arg(sheetIndex + 1);
    work(what, [document, printer, sheetIndex](OfficeSession& s) {
        s.print(document, printer, sheetIndex);
    });
    // LibreOffice has handed the job to CUPS when print returns; the wait only covers a
    // server slow to answer.
    if (watch.jobArrived(std::min(m_bound, ConfirmationWindow)))
        return;
    // A workbook render without a single page sends no job on purpose, and loses nothing.
    // LibreOffice 7.4 renders a blank page for an empty worksheet rather than none; asked
    // only when no job came, the count costs a printed document nothing.
    auto pages = std::make_shared<int>(-1);
    work(QStringLiteral("counting the pages of %1"),
         [document, sheetIndex, pages](OfficeSession& s) {
             *pages = s.sheetPageCount(document, sheetIndex);
         });
    if (*pages == 0)
        return;
    QString reason = m_printers.refusalReason(printer);
    if (reason.isEmpty())
        reason = QStringLiteral("LibreOffice printed it, but CUPS received no job.");
    throw AppError(ErrorNumber::AutomationError, cups::cannotPrintText(m_path, printer, reason));
}

void LibreOfficeDocument::close() {
    requireLoaded();
    markClosed();
    const int document = m_id;
    work(QStringLiteral("closing %1"), [document](OfficeSession& s) { s.close(document); });
}

} // namespace qp
