#include "ui/QtFileDialogBackend.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>

namespace qp {

namespace {

// Passes the folders and the files the user may run. QDir::Executable cannot say this to the
// dialog's QFileSystemModel: there a permission filter hides every entry that has a
// permission not named in it, so Executable alone hides everything readable, which is
// everything.
class ExecutablesAndFolders : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    // The file system model sorts folders first; sorting here would mix them with the files.
    void sort(int column, Qt::SortOrder order) override { sourceModel()->sort(column, order); }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
        const QModelIndex index = files->index(row, 0, parent);
        return files->isDir(index) || files->fileInfo(index).isExecutable();
    }
};

} // namespace

QStringList QtFileDialogBackend::nameFilters(const QString& filter) {
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        QString patterns = parts.at(i + 1).trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of a filter; descriptions such as
        // "Word Files (*.doc)" already end with them.
        if (description.endsWith(QLatin1Char(')')) &&
            description.mid(description.lastIndexOf(QLatin1Char('(')) + 1).chopped(1) == patterns)
            result << description;
        else
            result << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return result;
}

std::optional<QString> QtFileDialogBackend::choose(const FileDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setObjectName(QStringLiteral("fileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    // The program replaces a chosen file without a question of the dialog's own, and an
    // Open dialog may return a name that does not exist; the callers report what follows.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(request.mode == FileDialogRequest::Mode::Save ? QFileDialog::AcceptSave
                                                                       : QFileDialog::AcceptOpen);
    QStringList filters = nameFilters(request.filter);
    // Programs on Linux have no ".exe" ending: a filter for them lists the executable files.
    const QString exePattern = QStringLiteral("(*.exe)");
    if (!filters.isEmpty() && filters.constFirst().endsWith(exePattern)) {
        filters.first() = filters.constFirst().chopped(exePattern.size()) + QStringLiteral("(*)");
        dialog.setProxyModel(new ExecutablesAndFolders(&dialog));
    }
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!request.initDir.isEmpty() && QFileInfo(request.initDir).isDir())
        dialog.setDirectory(request.initDir);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().constFirst();
    if (chosen.isEmpty() || QFileInfo(chosen).isDir())
        return std::nullopt;
    return QDir::cleanPath(chosen);
}

} // namespace qp
