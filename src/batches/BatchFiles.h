#pragma once

#include "core/FileDialog.h"
#include "core/Prompter.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace qp::BatchFiles {

// Largest batch file openBatch reads. Even a full list of 32767 entries of the longest paths
// the system allows stays below it; anything bigger is not a batch file.
constexpr qint64 MaxBatchFileBytes = 160 * 1024 * 1024;

// The user's own folder for batch files, where the Open and Save dialogs start:
// $XDG_DATA_HOME/Quirepress/BatchBin, or ~/.local/share/Quirepress/BatchBin. Batches name the
// documents their user prints, so they are kept out of every other user's sight.
QString userBatchFolder();

// Whether a file given to the program is a batch file: its name ends in .qpb, in any case.
inline bool isBatchFile(const QString& path) {
    return path.endsWith(QLatin1String(".qpb"), Qt::CaseInsensitive);
}

// The entries of the batch file at path, read whole; failures throw AppError.
QStringList readBatchFile(const QString& path);

// Shows the Save dialog, starting in batchFolder (created, for its owner only, when missing),
// and writes the entries; all failures handled inside (messages via prompter). A failed save
// leaves an existing file as it was.
void saveBatch(SharedFileDialog& dialog, Prompter& prompter, const QString& batchFolder,
               const QStringList& entries);

// Shows the Open dialog, starting in batchFolder, and appends the file's entries through `append`,
// in file order. Returns true when a file was chosen and read whole. `append` may throw AppError
// (e.g. the list is full); that is handled like any other failure: "Error..." box with number + " "
// + description, result false, entries already appended stay.
bool openBatch(SharedFileDialog& dialog, Prompter& prompter, const QString& batchFolder,
               const std::function<void(const QString&)>& append);

// What openBatch does once the user has chosen the file at `path`, with the same failure
// handling; for batch files given to the program on its command line.
bool openBatchFile(Prompter& prompter, const QString& path,
                   const std::function<void(const QString&)>& append);

} // namespace qp::BatchFiles
