#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>

namespace qp {

// An object reached through automation: members are called by name at the moment of the
// call. Destroying the object releases it (for a bound document: nothing of it stays
// loaded in the office application).
class AutomationObject {
public:
    virtual ~AutomationObject() = default;

    // Calls a member and drops its result ("Activate", "PrintOut", "Close").
    virtual void call(const QString& member, const QVariantList& args = {}) = 0;
    // Gets the plain value of a member ("Count", "BackgroundPrintingStatus").
    virtual QVariant value(const QString& member) = 0;
    // Gets a member that is an object ("Parent", "Worksheets", or "Worksheets" with an index).
    virtual std::unique_ptr<AutomationObject> object(const QString& member,
                                                     const QVariantList& args = {}) = 0;
};

// Binds the document object of a file from its path. A path that cannot be bound throws
// AppError ErrorNumber::CannotBind; every other failure throws with its own number.
class Automation {
public:
    virtual ~Automation() = default;
    virtual std::unique_ptr<AutomationObject> bind(const QString& path) = 0;
    // A bind may come soon: get the application ready in the background. Returns at once
    // and never throws; whatever fails shows at the next bind.
    virtual void prepare() noexcept {}
};

} // namespace qp
