#include "batches/FileErrors.h"
#include "core/Messages.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace qp {

namespace {

bool folderExists(const QString& path) {
    const QFileInfo folder(QFileInfo(path).absolutePath());
    return folder.isDir();
}

AppError describe(ErrorNumber number, const QString& text, const QString& path) {
    return AppError(number, text + QStringLiteral(": ") + QDir::toNativeSeparators(path));
}

QString systemReason(int errnoValue) {
    return QString::fromLocal8Bit(std::strerror(errnoValue));
}

} // namespace

AppError fileError(int errnoValue, const QString& path, FileAction action) {
    switch (errnoValue) {
    case ENOENT:
        if (!folderExists(path))
            return describe(ErrorNumber::PathNotFound, messages::pathNotFound(), path);
        if (action == FileAction::Read)
            return describe(ErrorNumber::FileNotFound, QStringLiteral("File not found"), path);
        // The folder is there but refuses new files (a virtual file system, for one).
        return describe(ErrorNumber::PathFileAccessError, QStringLiteral("Path/File access error"),
                        path);
    case ENOTDIR:
        return describe(ErrorNumber::PathNotFound, messages::pathNotFound(), path);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return describe(ErrorNumber::PermissionDenied, QStringLiteral("Permission denied"), path);
    case EISDIR:
        return notRegularFileError(path);
    case ENAMETOOLONG:
    case EILSEQ:
    case EINVAL:
        return describe(ErrorNumber::BadFileName, QStringLiteral("Bad file name"), path);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return describe(ErrorNumber::DiskFull, QStringLiteral("Disk full"), path);
    case EIO:
        return describe(ErrorNumber::DeviceIOError, QStringLiteral("Device I/O error"), path);
    case EMFILE:
    case ENFILE:
        return describe(ErrorNumber::TooManyFiles, QStringLiteral("Too many files"), path);
    case ENOMEM:
        return describe(ErrorNumber::OutOfMemory, messages::outOfMemory(), path);
    default:
        return AppError(ErrorNumber::PathFileAccessError,
                        QStringLiteral("Path/File access error: %1 (%2)")
                            .arg(QDir::toNativeSeparators(path), systemReason(errnoValue)));
    }
}

AppError notRegularFileError(const QString& path) {
    return describe(ErrorNumber::PathFileAccessError,
                    QStringLiteral("Path/File access error (not a regular file)"), path);
}

} // namespace qp
