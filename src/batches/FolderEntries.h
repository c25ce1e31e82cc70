#pragma once

#include <QString>
#include <QStringList>

namespace qp {

// A folder stands for the printable files in it (the Word, Excel and PowerPoint documents
// LibreOffice prints, old formats, new ones and OpenDocument, and PDFs; endings in any case), in
// the order a file manager shows them by name: numbers compare as numbers ("2.doc" before
// "10.doc"), case does not count. Every other file is passed over without a word, and so are
// hidden files, which a file manager does not show either.
class FolderEntries {
public:
    // The absolute paths of the folder's printable files. With `recursive`, each subfolder's
    // files follow those of its parent, subfolders in the same order, depth first; links to
    // folders are not followed, so that a loop of links ends.
    static QStringList printableFiles(const QString& folder, bool recursive);
    static bool isPrintableName(const QString& name);
    // Sorts names in place as a file manager lists them.
    static void sortByName(QStringList& names);
};

} // namespace qp
