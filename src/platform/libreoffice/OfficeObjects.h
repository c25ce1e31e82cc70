#pragma once

#include "core/AppError.h"
#include "platform/CupsPrinters.h"
#include "printing/Automation.h"

#include <QString>
#include <chrono>
#include <memory>

namespace qp {

class OfficeHost;

// A document loaded in the office, shared by the objects reached from it.
struct LoadedDocument {
    std::shared_ptr<OfficeHost> host;
    CupsPrinters printers;
    QString path;
    int id = 0;
    quint64 generation = 0;
    std::chrono::milliseconds bound{0};
    bool closed = false;

    // Throws unless the document is still loaded in the office that loaded it.
    void requireLoaded() const;
    // Prints the whole document (sheetIndex -1) or one worksheet to the default destination
    // and confirms that CUPS received the job; throws AppError when it did not.
    void print(int sheetIndex);
    void close();
};

// The bound document. Destroying it closes the document in the office if still open.
class OfficeDocumentObject : public AutomationObject {
public:
    explicit OfficeDocumentObject(std::shared_ptr<LoadedDocument> document);
    ~OfficeDocumentObject() override;

    void call(const QString& member, const QVariantList& args = {}) override;
    QVariant value(const QString& member) override;
    std::unique_ptr<AutomationObject> object(const QString& member,
                                             const QVariantList& args = {}) override;

private:
    std::shared_ptr<LoadedDocument> m_document;
};

// Unknown members raise this number, as late binding does for a missing member.
namespace OfficeErrors {
constexpr long MemberNotSupported = ErrorNumber::MemberNotSupported;
constexpr long SubscriptOutOfRange = ErrorNumber::SubscriptOutOfRange;
} // namespace OfficeErrors

} // namespace qp
