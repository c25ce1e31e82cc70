#include "batches/BatchFiles.h"

#include "batches/BatchFile.h"
#include "batches/BatchFileIO.h"
#include "batches/FileErrors.h"
#include "core/AppError.h"
#include "core/Messages.h"

#include <QDir>
#include <QFileInfo>

#include <exception>
#include <new>

namespace qp::BatchFiles {

namespace {

const QString batchFilter = QStringLiteral("Quirepress Files (*.qpb)|*.qpb");
const QString errorTitle = messages::errorTitle();

// Created on first use; a folder that cannot be made leaves the dialog to start where the
// platform's dialog chooses.
const QString& madeFolder(const QString& folder) {
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    return folder;
}

void appendBatchFile(const QString& path, const std::function<void(const QString&)>& append) {
    for (const QString& entry : readBatchFile(path))
        append(entry);
}

// Each use of the shared dialog sets what the previous use may have left.
void prepareDialog(SharedFileDialog& dialog, const QString& title, const QString& batchFolder) {
    dialog.setFilter(batchFilter);
    dialog.setTitle(title);
    dialog.setInitialDir(madeFolder(batchFolder));
    dialog.setFileName(QString());
}

void reportFailure(Prompter& prompter, const AppError& error) {
    prompter.tell(error.numberAndDescription(), errorTitle, PromptIcon::Critical);
}

// Runs one dialog use to its end: a cancel ends it silently, every other failure is shown as
// number and description. Returns whether `use` finished.
template <typename Use> bool runTrapped(Prompter& prompter, Use&& use) {
    try {
        use();
        return true;
    } catch (const AppError& error) {
        if (error.number() != ErrorNumber::CancelError)
            reportFailure(prompter, error);
    } catch (const std::bad_alloc&) {
        reportFailure(prompter, AppError(ErrorNumber::OutOfMemory, messages::outOfMemory()));
    } catch (const std::exception& error) {
        reportFailure(prompter, AppError(ErrorNumber::PathFileAccessError,
                                         QString::fromLocal8Bit(error.what())));
    }
    return false;
}

} // namespace

QStringList readBatchFile(const QString& path) {
    // Read and decoded whole: whether it is UTF-8 or Windows-1252 can only be told from all of
    // it, and a file that cannot be read adds nothing rather than part of a batch.
    return parseBatch(readFileContents(path, MaxBatchFileBytes));
}

QString userBatchFolder() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and is ignored, as other programs do.
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/Quirepress/BatchBin");
}

void saveBatch(SharedFileDialog& dialog, Prompter& prompter, const QString& batchFolder,
               const QStringList& entries) {
    runTrapped(prompter, [&] {
        // Throwing on cancel is left as the previous use of the shared dialog set it, so a cancel
        // may come back either as the cancel error or as an empty file name.
        prepareDialog(dialog, QStringLiteral("Save Quirepress"), batchFolder);
        dialog.showSave();
        if (dialog.fileName().isEmpty())
            return;
        replaceFileContents(dialog.fileName(), formatBatch(entries));
    });
}

bool openBatch(SharedFileDialog& dialog, Prompter& prompter, const QString& batchFolder,
               const std::function<void(const QString&)>& append) {
    bool readWhole = false;
    runTrapped(prompter, [&] {
        dialog.setThrowsOnCancel(true);
        prepareDialog(dialog, QStringLiteral("Open Quirepress"), batchFolder);
        dialog.showOpen();
        if (dialog.fileName().isEmpty())
            return;
        appendBatchFile(dialog.fileName(), append);
        readWhole = true;
    });
    return readWhole;
}

bool openBatchFile(Prompter& prompter, const QString& path,
                   const std::function<void(const QString&)>& append) {
    return runTrapped(prompter, [&] { appendBatchFile(path, append); });
}

} // namespace qp::BatchFiles
