#pragma once

#include "core/SettingsKeys.h"
#include "core/SettingsStore.h"

#include <QString>

namespace qp {

// The two settings that tell where the PDF printing program is and whether the user
// declined to locate it.
class PdfServerSettings {
public:
    explicit PdfServerSettings(SettingsStore& store) : m_store(store) {}

    static QString application() { return settings::application(); }
    static QString section() { return settings::section(); }
    static QString pathKey() { return settings::acrobatKey(); }
    static QString declinedKey() { return settings::acrobatDeclinedKey(); }

    QString path() { return m_store.read(application(), section(), pathKey()); }
    // Declined only when the stored text is a number equal to 1 ("1", " 1", "1.0");
    // anything else, the empty text included, means not declined.
    bool declined() {
        return isDeclinedText(m_store.read(application(), section(), declinedKey()));
    }

    void setPath(const QString& path) { m_store.write(application(), section(), pathKey(), path); }
    void setDeclined(bool declined) {
        m_store.write(application(), section(), declinedKey(),
                      declined ? QStringLiteral("1") : QStringLiteral("0"));
    }

    static bool isDeclinedText(const QString& text) {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        return ok && value == 1.0;
    }

private:
    SettingsStore& m_store;
};

} // namespace qp
