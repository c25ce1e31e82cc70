#pragma once

#include "core/AppError.h"

#include <QString>

namespace qp {

// Numbers for file failures beyond those every part of the program shares.
namespace FileErrorNumber {
constexpr long OutOfMemory = 7;
constexpr long DiskFull = ErrorNumber::DiskFull;
constexpr long BadFileName = ErrorNumber::BadFileName;
constexpr long TooManyFiles = ErrorNumber::TooManyFiles;
constexpr long PathFileAccessError = ErrorNumber::PathFileAccessError;
} // namespace FileErrorNumber

enum class FileAction { Read, Write };

// The error number and description shown for a failed file operation on `path`, from the
// errno value the system reported. A missing file and a missing folder give the same errno,
// so the file system is looked at to tell them apart.
AppError fileError(int errnoValue, const QString& path, FileAction action);

// A path that names something other than a regular file (a folder, a pipe, a device).
AppError notRegularFileError(const QString& path);

} // namespace qp
