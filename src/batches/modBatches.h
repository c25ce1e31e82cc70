#pragma once

#include "core/FileDialog.h"
#include "core/Prompter.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace qp::modBatches {

// Largest batch file OpenBatch reads. Even a full list of 32767 entries of the longest paths
// the system allows stays below it; anything bigger is not a batch file.
constexpr qint64 MaxBatchFileBytes = 160 * 1024 * 1024;

// Shows the Save dialog and writes the entries; all failures handled inside (messages via
// prompter). A failed save leaves an existing file as it was.
void SaveBatch(FileDialog& dlgWrd, Prompter& prompter, const QString& executableDir,
               const QStringList& entries);

// Shows the Open dialog and appends the file's entries through `append`, in file order. Returns
// true when a file was chosen and read whole. `append` may throw AppError (e.g. the list is
// full); that is handled like any other failure: "Error..." box with number + " " +
// description, result false, entries already appended stay.
bool OpenBatch(FileDialog& dlgWrd, Prompter& prompter, const QString& executableDir,
               const std::function<void(const QString&)>& append);

} // namespace qp::modBatches
