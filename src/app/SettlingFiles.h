#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace qp {

// What a look at a file tells of its content without reading it.
struct FileStamp {
    qint64 size = -1;
    qint64 modified = 0; // milliseconds since the epoch
    bool operator==(const FileStamp& other) const {
        return size == other.size && modified == other.modified;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// One file as a look at the folder found it.
struct FileLook {
    QString path;
    FileStamp stamp;
    bool beingWritten = false; // some process holds it open for writing
};

// Tells when the files dropped into a folder are complete: closed by whoever wrote them and
// unchanged for the settle time. A copy over a slow share pauses between its pieces, so a file
// is complete only once a whole settle time has passed since its last change or its last writer.
// Each file is given out once, in the order the files arrived; a file given out is passed over
// while it stays as it was, and counts as newly arrived once its content changes.
class SettlingFiles {
public:
    explicit SettlingFiles(qint64 settleMs) : m_settleMs(settleMs) {}

    // One look at the folder at `nowMs`, its files in the order to take for arrival when several
    // appear at once. Returns the files complete since the last look, in order of arrival.
    QStringList look(const QList<FileLook>& files, qint64 nowMs);
    // Whether some file is still waiting to be complete: looks are needed until it is.
    bool waiting() const { return !m_waiting.isEmpty(); }

private:
    struct Waiting {
        FileStamp stamp;
        qint64 since = 0; // of its last change or writer
        quint64 arrival = 0;
    };
    qint64 m_settleMs;
    quint64 m_arrivals = 0;
    QMap<QString, Waiting> m_waiting;
    QMap<QString, FileStamp> m_givenOut;
};

} // namespace qp
