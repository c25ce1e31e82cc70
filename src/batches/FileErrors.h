#pragma once

#include "core/AppError.h"

#include <QString>

namespace qp {

enum class FileAction { Read, Write };

// The error number and description shown for a failed file operation on `path`, from the
// errno value the system reported. A missing file and a missing folder give the same errno,
// so the file system is looked at to tell them apart.
AppError fileError(int errnoValue, const QString& path, FileAction action);

// A path that names something other than a regular file (a folder, a pipe, a device).
AppError notRegularFileError(const QString& path);

} // namespace qp
