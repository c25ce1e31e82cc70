#include "platform/libreoffice/OfficeObjects.h"

#include "core/AppError.h"
#include "platform/CupsJobWatch.h"
#include "platform/CupsRefusal.h"
#include "platform/libreoffice/OfficeHost.h"
#include "platform/libreoffice/OfficeSession.h"

namespace qp {

namespace {

// How long a job may take to show in CUPS after LibreOffice returned from printing it.
constexpr std::chrono::milliseconds ConfirmationWindow{3000};

bool is(const QString& member, const char* name) {
    return member.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

[[noreturn]] void unsupported(const char* object, const QString& member) {
    throw AppError(
        OfficeErrors::MemberNotSupported,
        QStringLiteral("The %1 has no member \"%2\".").arg(QLatin1String(object), member));
}

QString fileName(const QString& path) {
    return path.section(QLatin1Char('/'), -1);
}

int sheetCount(LoadedDocument& document) {
    document.requireLoaded();
    auto count = std::make_shared<int>(0);
    const int id = document.id;
    document.host->run(OfficeHost::Phase::Working,
                       QStringLiteral("counting the worksheets of %1").arg(fileName(document.path)),
                       document.bound, [id, count](OfficeSession& s) {
                           *count = s.isSpreadsheet(id) ? s.sheetCount(id) : -1;
                       });
    if (*count < 0)
        throw AppError(OfficeErrors::MemberNotSupported,
                       QStringLiteral("%1 is not a workbook: it has no worksheets.")
                           .arg(fileName(document.path)));
    return *count;
}

// The application behind a document, as far as the print wait asks about it.
class OfficeApplicationObject : public AutomationObject {
public:
    void call(const QString& member, const QVariantList&) override {
        unsupported("application", member);
    }
    QVariant value(const QString& member) override {
        // Printing returns only when the job has been handed to CUPS: nothing is pending.
        if (is(member, "BackgroundPrintingStatus"))
            return 0;
        unsupported("application", member);
    }
    std::unique_ptr<AutomationObject> object(const QString& member, const QVariantList&) override {
        unsupported("application", member);
    }
};

class WorksheetObject : public AutomationObject {
public:
    WorksheetObject(std::shared_ptr<LoadedDocument> document, int index)
        : m_document(std::move(document)), m_index(index) {}

    void call(const QString& member, const QVariantList&) override {
        if (is(member, "PrintOut"))
            return m_document->print(m_index);
        unsupported("worksheet", member);
    }
    QVariant value(const QString& member) override { unsupported("worksheet", member); }
    std::unique_ptr<AutomationObject> object(const QString& member, const QVariantList&) override {
        unsupported("worksheet", member);
    }

private:
    std::shared_ptr<LoadedDocument> m_document;
    int m_index;
};

class WorksheetsObject : public AutomationObject {
public:
    explicit WorksheetsObject(std::shared_ptr<LoadedDocument> document)
        : m_document(std::move(document)) {}

    void call(const QString& member, const QVariantList&) override {
        unsupported("worksheets collection", member);
    }
    QVariant value(const QString& member) override {
        if (is(member, "Count"))
            return sheetCount(*m_document);
        unsupported("worksheets collection", member);
    }
    std::unique_ptr<AutomationObject> object(const QString& member, const QVariantList&) override {
        unsupported("worksheets collection", member);
    }

private:
    std::shared_ptr<LoadedDocument> m_document;
};

} // namespace

void LoadedDocument::requireLoaded() const {
    if (closed)
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("%1 has already been closed.").arg(fileName(path)));
    if (!host->isCurrent(generation))
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("%1 is no longer loaded: LibreOffice ended since it was "
                                      "opened.")
                           .arg(fileName(path)));
}

void LoadedDocument::print(int sheetIndex) {
    requireLoaded();
    // Without a default destination LibreOffice would print to a printer of its own
    // choosing, or nowhere: refuse before anything is sent.
    const QString printer = printers.requireDefaultDestination();
    // LibreOffice drops a job that CUPS refuses without a word: find out before it renders.
    printers.requireAcceptingJobs(printer, path);
    CupsJobWatch watch(printer, path, bound);
    const int document = id;
    const QString what =
        sheetIndex < 0
            ? QStringLiteral("printing %1").arg(fileName(path))
            : QStringLiteral("printing worksheet %1 of %2").arg(sheetIndex + 1).arg(fileName(path));
    host->run(OfficeHost::Phase::Working, what, bound,
              [document, printer, sheetIndex](OfficeSession& s) {
                  s.print(document, printer, sheetIndex);
              });
    // LibreOffice has handed the job to CUPS when print returns; the wait only covers a
    // server slow to answer.
    if (watch.jobArrived(std::min(bound, ConfirmationWindow)))
        return;
    // A workbook render without a single page sends no job on purpose, and loses nothing.
    // LibreOffice 7.4 renders a blank page for an empty worksheet rather than none; asked
    // only when no job came, the count costs a printed document nothing.
    auto pages = std::make_shared<int>(-1);
    host->run(OfficeHost::Phase::Working,
              QStringLiteral("counting the pages of %1").arg(fileName(path)), bound,
              [document, sheetIndex, pages](OfficeSession& s) {
                  *pages = s.sheetPageCount(document, sheetIndex);
              });
    if (*pages == 0)
        return;
    QString reason = printers.refusalReason(printer);
    if (reason.isEmpty())
        reason = QStringLiteral("LibreOffice printed it, but CUPS received no job.");
    throw AppError(ErrorNumber::AutomationError, cups::cannotPrintText(path, printer, reason));
}

void LoadedDocument::close() {
    requireLoaded();
    closed = true;
    const int document = id;
    host->run(OfficeHost::Phase::Working, QStringLiteral("closing %1").arg(fileName(path)), bound,
              [document](OfficeSession& s) { s.close(document); });
}

OfficeDocumentObject::OfficeDocumentObject(std::shared_ptr<LoadedDocument> document)
    : m_document(std::move(document)) {}

OfficeDocumentObject::~OfficeDocumentObject() {
    if (m_document->closed || !m_document->host->isCurrent(m_document->generation))
        return;
    // Nothing may leave a destructor: a failing close has killed the office already, which
    // drops the document too.
    try {
        m_document->close();
    } catch (...) {
    }
}

void OfficeDocumentObject::call(const QString& member, const QVariantList&) {
    if (is(member, "Activate")) {
        m_document->requireLoaded();
        const int document = m_document->id;
        m_document->host->run(OfficeHost::Phase::Working,
                              QStringLiteral("activating %1").arg(fileName(m_document->path)),
                              m_document->bound,
                              [document](OfficeSession& s) { s.activate(document); });
        return;
    }
    if (is(member, "PrintOut"))
        return m_document->print(-1);
    if (is(member, "Close"))
        return m_document->close();
    unsupported("document", member);
}

QVariant OfficeDocumentObject::value(const QString& member) {
    unsupported("document", member);
}

std::unique_ptr<AutomationObject> OfficeDocumentObject::object(const QString& member,
                                                               const QVariantList& args) {
    if (is(member, "Parent")) {
        m_document->requireLoaded();
        return std::make_unique<OfficeApplicationObject>();
    }
    if (is(member, "Worksheets")) {
        if (args.isEmpty()) {
            sheetCount(*m_document); // a document without worksheets has no collection
            return std::make_unique<WorksheetsObject>(m_document);
        }
        bool numeric = false;
        const int index = args.front().toInt(&numeric);
        const int count = sheetCount(*m_document);
        if (!numeric || index < 1 || index > count)
            throw AppError(OfficeErrors::SubscriptOutOfRange,
                           QStringLiteral("Subscript out of range: %1 has %2 worksheets, not "
                                          "one numbered %3.")
                               .arg(fileName(m_document->path))
                               .arg(count)
                               .arg(args.front().toString()));
        return std::make_unique<WorksheetObject>(m_document, index - 1);
    }
    unsupported("document", member);
}

} // namespace qp
