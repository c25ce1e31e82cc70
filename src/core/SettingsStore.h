#pragma once

#include <QString>

namespace qp {

// Per-user text values addressed by application, section and key. Names are matched
// without regard to case; a key never written reads as the empty text. Failures are
// thrown as AppError.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& application, const QString& section,
                         const QString& key) = 0;
    virtual void write(const QString& application, const QString& section, const QString& key,
                       const QString& value) = 0;
};

} // namespace qp
