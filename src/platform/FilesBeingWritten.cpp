#include "platform/FilesBeingWritten.h"

#include <QByteArray>
#include <QFile>
#include <QMap>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace qp {

namespace {

using FileId = std::pair<dev_t, ino_t>;

// The open flags of a descriptor, from the "flags:" line (octal) of its fdinfo.
int openFlags(const QByteArray& process, const char* descriptor) {
    QFile info(QStringLiteral("/proc/%1/fdinfo/%2")
                   .arg(QString::fromLatin1(process), QString::fromLatin1(descriptor)));
    if (!info.open(QIODevice::ReadOnly))
        return O_RDONLY;
    for (const QByteArray& line : info.readAll().split('\n')) {
        if (line.startsWith("flags:"))
            return line.mid(6).trimmed().toInt(nullptr, 8);
    }
    return O_RDONLY;
}

} // namespace

QSet<QString> filesBeingWritten(const QStringList& paths) {
    QMap<FileId, QString> wanted;
    for (const QString& path : paths) {
        struct stat file = {};
        if (::stat(QFile::encodeName(path).constData(), &file) == 0)
            wanted.insert({file.st_dev, file.st_ino}, path);
    }
    QSet<QString> written;
    DIR* proc = wanted.isEmpty() ? nullptr : ::opendir("/proc");
    if (!proc)
        return written;
    while (const dirent* process = ::readdir(proc)) {
        if (process->d_name[0] < '0' || process->d_name[0] > '9')
            continue;
        const QByteArray pid(process->d_name);
        const QByteArray fdFolder = "/proc/" + pid + "/fd";
        DIR* descriptors = ::opendir(fdFolder.constData());
        if (!descriptors)
            continue; // another user's process, or one that has ended
        while (const dirent* descriptor = ::readdir(descriptors)) {
            if (descriptor->d_name[0] == '.')
                continue;
            struct stat file = {};
            const QByteArray link = fdFolder + '/' + descriptor->d_name;
            if (::stat(link.constData(), &file) != 0)
                continue;
            const auto found = wanted.constFind({file.st_dev, file.st_ino});
            if (found != wanted.constEnd() &&
                (openFlags(pid, descriptor->d_name) & O_ACCMODE) != O_RDONLY)
                written.insert(*found);
        }
        ::closedir(descriptors);
    }
    ::closedir(proc);
    return written;
}

} // namespace qp
