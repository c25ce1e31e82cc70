#include "PrintedJobs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace qp::test {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return file.readAll();
}

void copyFile(const QString& from, const QString& to) {
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::remove(to);
    EXPECT_TRUE(QFile::copy(from, to)) << from.toStdString() << " -> " << to.toStdString();
}

int pdfPageCount(const QString& path) {
    QProcess pdfinfo;
    pdfinfo.start(QStringLiteral("pdfinfo"), {path});
    if (!pdfinfo.waitForFinished(60000) || pdfinfo.exitCode() != 0)
        return -1;
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)\\s*$"),
                                          QRegularExpression::MultilineOption);
    const auto match = pages.match(QString::fromUtf8(pdfinfo.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace qp::test
