#include "app/WatchJournal.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace qp {

namespace {

const QString Sending = QStringLiteral("sending");
const QString Sent = QStringLiteral("sent");

} // namespace

QString WatchJournal::load() {
    m_entries.clear();
    QFile file(m_path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    QJsonParseError parsing;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parsing);
    if (parsing.error != QJsonParseError::NoError || !document.isObject())
        return QStringLiteral("it is not a journal of Quirepress (%1)").arg(parsing.errorString());
    for (const QJsonValue value : document.object().value(QStringLiteral("files")).toArray()) {
        const QJsonObject entry = value.toObject();
        const QString state = entry.value(QStringLiteral("state")).toString();
        m_entries.insert(entry.value(QStringLiteral("name")).toString(),
                         {{entry.value(QStringLiteral("size")).toInteger(-1),
                           entry.value(QStringLiteral("modified")).toInteger()},
                          state == Sent ? State::Sent : State::Sending});
    }
    return {};
}

std::optional<WatchJournal::Entry> WatchJournal::find(const QString& name,
                                                      const FileStamp& stamp) const {
    const auto entry = m_entries.constFind(name);
    if (entry == m_entries.constEnd() || entry->stamp != stamp)
        return std::nullopt;
    return *entry;
}

QString WatchJournal::record(const QString& name, const Entry& entry) {
    m_entries.insert(name, entry);
    return save();
}

QString WatchJournal::forget(const QString& name) {
    if (m_entries.remove(name) == 0)
        return {};
    return save();
}

QString WatchJournal::save() {
    QJsonArray files;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        files.append(
            QJsonObject{{QStringLiteral("name"), it.key()},
                        {QStringLiteral("size"), it->stamp.size},
                        {QStringLiteral("modified"), it->stamp.modified},
                        {QStringLiteral("state"), it->state == State::Sent ? Sent : Sending}});
    }
    // QSaveFile writes beside the journal, flushes to the disk, then renames over it.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(QJsonObject{{QStringLiteral("files"), files}}).toJson()) < 0 ||
        !file.commit())
        return file.errorString();
    return {};
}

} // namespace qp
