#include "batches/BatchFileIO.h"

#include "batches/FileErrors.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qp {

namespace {

// Qt reports file failures as text only; the errno left by the failing call is what tells a
// full disk from a missing folder. A call that failed without setting it counts as an I/O error.
int errnoAfterFailure() {
    return errno != 0 ? errno : EIO;
}

class ReadOnlyDescriptor {
public:
    explicit ReadOnlyDescriptor(const QString& path) {
        // Non-blocking, so that a pipe chosen by mistake cannot hang the window in open().
        m_fd = ::open(QFile::encodeName(path).constData(),
                      O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    }
    ~ReadOnlyDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadOnlyDescriptor(const ReadOnlyDescriptor&) = delete;
    ReadOnlyDescriptor& operator=(const ReadOnlyDescriptor&) = delete;

    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

AppError tooLargeError(const QString& path) {
    return AppError(ErrorNumber::OutOfMemory,
                    QStringLiteral("Out of memory: %1 is too large for a batch file").arg(path));
}

} // namespace

void replaceFileContents(const QString& path, const QByteArray& bytes) {
    const QFileInfo target(path);
    // Renaming over a folder, pipe or device would destroy it instead of writing into it.
    if (target.exists() && !target.isFile())
        throw notRegularFileError(path);

    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw fileError(errnoAfterFailure(), path, FileAction::Write);
    errno = 0;
    // The flush is checked here because a failure while commit() empties the buffer would
    // otherwise go unnoticed.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const int failure = errnoAfterFailure();
        file.cancelWriting();
        throw fileError(failure, path, FileAction::Write);
    }
    errno = 0;
    if (!file.commit())
        throw fileError(errnoAfterFailure(), path, FileAction::Write);
}

QByteArray readFileContents(const QString& path, qint64 maxBytes) {
    const ReadOnlyDescriptor file(path);
    if (file.fd() < 0)
        throw fileError(errno, path, FileAction::Read);
    struct stat status {};
    if (::fstat(file.fd(), &status) != 0)
        throw fileError(errno, path, FileAction::Read);
    if (!S_ISREG(status.st_mode))
        throw notRegularFileError(path);
    if (status.st_size > maxBytes)
        throw tooLargeError(path);

    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(status.st_size));
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(file.fd(), chunk, sizeof chunk);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw fileError(errno, path, FileAction::Read);
        }
        // Files such as those under /proc report no size, so the limit is also kept here.
        if (bytes.size() + got > maxBytes)
            throw tooLargeError(path);
        bytes.append(chunk, got);
    }
    return bytes;
}

} // namespace qp
