#include "batches/FolderEntries.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace qp {

bool FolderEntries::isPrintableName(const QString& name) {
    // Every document LibreOffice prints, in its old and new formats and their templates.
    static const QStringList printable = {
        QStringLiteral("doc"),  QStringLiteral("docx"), QStringLiteral("docm"),
        QStringLiteral("dot"),  QStringLiteral("dotx"), QStringLiteral("odt"),
        QStringLiteral("ott"),  QStringLiteral("rtf"),  QStringLiteral("xls"),
        QStringLiteral("xlsx"), QStringLiteral("xlsm"), QStringLiteral("ods"),
        QStringLiteral("ots"),  QStringLiteral("ppt"),  QStringLiteral("pptx"),
        QStringLiteral("pptm"), QStringLiteral("pps"),  QStringLiteral("ppsx"),
        QStringLiteral("odp"),  QStringLiteral("otp"),  QStringLiteral("pdf")};
    return printable.contains(QFileInfo(name).suffix().toLower());
}

namespace {

// The run of digits, or of other characters, that starts at `from`.
QStringView chunkAt(const QString& name, qsizetype from) {
    const bool digits = name.at(from).isDigit();
    qsizetype end = from;
    while (end < name.size() && name.at(end).isDigit() == digits)
        ++end;
    return QStringView(name).mid(from, end - from);
}

// Numbers by their value whatever the locale: QCollator's numeric mode does nothing under
// the C locale that cron and ssh sessions often have.
int compareNumbers(QStringView a, QStringView b) {
    while (a.size() > 1 && a.front() == u'0')
        a = a.mid(1);
    while (b.size() > 1 && b.front() == u'0')
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

void FolderEntries::sortByName(QStringList& names) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto compare = [&](const QString& a, const QString& b) {
        qsizetype i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            const QStringView x = chunkAt(a, i), y = chunkAt(b, j);
            const bool numbers = x.front().isDigit() && y.front().isDigit();
            const int order = numbers ? compareNumbers(x, y) : collator.compare(x, y);
            if (order != 0)
                return order;
            i += x.size();
            j += y.size();
        }
        if (i < a.size() || j < b.size())
            return i < a.size() ? 1 : -1;
        return a.compare(b);
    };
    std::stable_sort(names.begin(), names.end(),
                     [&](const QString& a, const QString& b) { return compare(a, b) < 0; });
}

QStringList FolderEntries::printableFiles(const QString& folder, bool recursive) {
    const QDir dir(folder);
    QStringList files = dir.entryList(QDir::Files);
    files.erase(std::remove_if(files.begin(), files.end(),
                               [](const QString& name) { return !isPrintableName(name); }),
                files.end());
    sortByName(files);
    QStringList paths;
    for (const QString& name : files)
        paths << QDir::cleanPath(dir.absoluteFilePath(name));
    if (!recursive)
        return paths;
    QStringList subfolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    sortByName(subfolders);
    for (const QString& name : subfolders)
        paths += printableFiles(dir.absoluteFilePath(name), true);
    return paths;
}

} // namespace qp
