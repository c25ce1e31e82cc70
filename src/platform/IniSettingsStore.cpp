#include "platform/IniSettingsStore.h"

#include "core/AppError.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace qp {

namespace {

// Map keys are "section/key" with the spelling found in the file. Lines that are neither a
// section header nor "name=value" (comments, stray text) are skipped rather than failing
// the whole file, so one bad hand edit does not lose every setting.
bool readLiteralIni(QIODevice& device, QSettings::SettingsMap& map) {
    QString section;
    const QStringList lines = QString::fromUtf8(device.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) ||
            trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            section = trimmed.mid(1, trimmed.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0 || section.isEmpty())
            continue;
        const QString key = line.left(equals).trimmed();
        if (!key.isEmpty())
            map.insert(section + QLatin1Char('/') + key, line.mid(equals + 1));
    }
    return true;
}

bool writeLiteralIni(QIODevice& device, const QSettings::SettingsMap& map) {
    // Group the keys by section, keeping the first spelling seen for each section.
    QStringList sections;
    QMap<QString, QStringList> linesBySection;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        const QString section = it.key().left(slash);
        const QString key = it.key().mid(slash + 1);
        if (!linesBySection.contains(section))
            sections << section;
        linesBySection[section] << key + QLatin1Char('=') + it.value().toString();
    }
    QByteArray out;
    for (const QString& section : sections) {
        if (!out.isEmpty())
            out += '\n';
        out += '[' + section.toUtf8() + "]\n";
        for (const QString& line : linesBySection.value(section))
            out += line.toUtf8() + '\n';
    }
    return device.write(out) == out.size();
}

QSettings::Format literalIniFormat() {
    static const QSettings::Format format = QSettings::registerFormat(
        QStringLiteral("conf"), readLiteralIni, writeLiteralIni, Qt::CaseInsensitive);
    return format;
}

// The stored spelling of section/key, so that "settings/acrobat" finds "Settings/Acrobat".
QString findKey(const QSettings& settings, const QString& section, const QString& key) {
    const QString wanted = section + QLatin1Char('/') + key;
    const QStringList keys = settings.allKeys();
    for (const QString& existing : keys) {
        if (existing.compare(wanted, Qt::CaseInsensitive) == 0)
            return existing;
    }
    // A new key goes into a section that exists already under another spelling.
    for (const QString& existing : keys) {
        const QString existingSection = existing.left(existing.indexOf(QLatin1Char('/')));
        if (existingSection.compare(section, Qt::CaseInsensitive) == 0)
            return existingSection + QLatin1Char('/') + key;
    }
    return wanted;
}

void throwIfFailed(const QSettings& settings, const QString& what) {
    switch (settings.status()) {
    case QSettings::NoError:
        return;
    case QSettings::AccessError:
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Permission denied: the settings file %1 cannot be %2.")
                           .arg(QDir::toNativeSeparators(settings.fileName()), what));
    case QSettings::FormatError:
        throw AppError(ErrorNumber::DeviceIOError,
                       QStringLiteral("The settings file %1 cannot be %2.")
                           .arg(QDir::toNativeSeparators(settings.fileName()), what));
    }
}

void checkName(const QString& name) {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name.contains(QLatin1Char('=')) || name.contains(QLatin1Char('[')) ||
        name.contains(QLatin1Char('\n')))
        throw AppError(ErrorNumber::InvalidArgument,
                       QStringLiteral("Invalid settings name \"%1\".").arg(name));
}

} // namespace

IniSettingsStore::IniSettingsStore(QString configDir) : m_configDir(std::move(configDir)) {}

QString IniSettingsStore::defaultConfigDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quirepress");
}

QString IniSettingsStore::fileFor(const QString& application) const {
    // Application names match without regard to case too: reuse a file that exists.
    const QDir dir(m_configDir);
    const QStringList files = dir.entryList({QStringLiteral("*.conf")}, QDir::Files);
    for (const QString& file : files) {
        if (QFileInfo(file).completeBaseName().compare(application, Qt::CaseInsensitive) == 0)
            return dir.filePath(file);
    }
    return dir.filePath(application + QStringLiteral(".conf"));
}

QString IniSettingsStore::read(const QString& application, const QString& section,
                               const QString& key) {
    checkName(application);
    checkName(section);
    checkName(key);
    const QString path = fileFor(application);
    QFileInfo info(path);
    if (info.exists() && !info.isReadable())
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Permission denied: the settings file %1 cannot be read.")
                           .arg(QDir::toNativeSeparators(path)));
    QSettings settings(path, literalIniFormat());
    throwIfFailed(settings, QStringLiteral("read"));
    return settings.value(findKey(settings, section, key)).toString();
}

void IniSettingsStore::write(const QString& application, const QString& section, const QString& key,
                             const QString& value) {
    checkName(application);
    checkName(section);
    checkName(key);
    if (value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')))
        throw AppError(ErrorNumber::InvalidArgument,
                       QStringLiteral("A setting cannot hold a line break."));
    if (!QDir().mkpath(m_configDir))
        throw AppError(ErrorNumber::PathNotFound,
                       QStringLiteral("The settings folder %1 cannot be created.")
                           .arg(QDir::toNativeSeparators(m_configDir)));
    QSettings settings(fileFor(application), literalIniFormat());
    settings.setValue(findKey(settings, section, key), value);
    settings.sync();
    throwIfFailed(settings, QStringLiteral("written"));
}

} // namespace qp
