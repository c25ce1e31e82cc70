#pragma once

#include "app/SettlingFiles.h"

#include <QMap>
#include <QString>
#include <optional>

namespace qp {

// What a watched folder's files have been through on their way to CUPS, kept in a file of the
// folder so that it survives a crash or a power loss: a file is recorded as being sent before
// its jobs go, and as sent once CUPS has taken them all, and is forgotten once it has been moved
// out of the folder. Every change is written at once and atomically (a new file renamed over
// the old one), so the journal read back is always one the program wrote whole.
class WatchJournal {
public:
    enum class State { Sending, Sent };
    struct Entry {
        FileStamp stamp; // the file as it was sent: one with the same name but other content is new
        State state = State::Sending;
    };

    explicit WatchJournal(QString path) : m_path(std::move(path)) {}

    // Reads the journal; a missing one is empty. Returns why it cannot be read, or nothing.
    QString load();
    // The entry of the file of that name, when there is one for its present content.
    std::optional<Entry> find(const QString& name, const FileStamp& stamp) const;
    // Each returns why the journal could not be written, or nothing.
    QString record(const QString& name, const Entry& entry);
    QString forget(const QString& name);

private:
    QString save();

    QString m_path;
    QMap<QString, Entry> m_entries;
};

} // namespace qp
