#pragma once

#include <QByteArray>
#include <QString>

namespace qp {

// Replaces the whole content of the file at `path` with `bytes`, creating it if needed. The new
// content is written beside the file and renamed over it only once it is complete, so a
// failure at any point leaves an existing file exactly as it was. Only regular files are
// replaced: a folder, pipe or device at `path` is refused. Failures throw AppError.
void replaceFileContents(const QString& path, const QByteArray& bytes);

// Reads the whole regular file at `path`. A file larger than `maxBytes` is refused rather than
// read into memory. Failures throw AppError.
QByteArray readFileContents(const QString& path, qint64 maxBytes);

} // namespace qp
