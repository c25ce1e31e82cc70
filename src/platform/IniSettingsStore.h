#pragma once

#include "core/SettingsStore.h"

#include <QString>

namespace qp {

// The per-user settings store on Linux: one INI file per application under the user's
// configuration folder, read and written through QSettings with a format of our own.
// QSettings' native INI format is case-sensitive and treats backslashes, commas and quotes
// in values as syntax, so a hand-edited "C:\Temp" or "a, b" would come back changed; this
// format keeps every value as the literal text after the first '=' and matches section and
// key names without regard to case, keeping the spelling a file already uses.
class IniSettingsStore : public SettingsStore {
public:
    // configDir: the folder that holds one "<application>.conf" per application.
    explicit IniSettingsStore(QString configDir);

    // The default folder: $XDG_CONFIG_HOME/Quirepress (usually ~/.config/Quirepress).
    static QString defaultConfigDir();

    QString read(const QString& application, const QString& section, const QString& key) override;
    void write(const QString& application, const QString& section, const QString& key,
               const QString& value) override;

private:
    QString fileFor(const QString& application) const;

    QString m_configDir;
};

} // namespace qp
