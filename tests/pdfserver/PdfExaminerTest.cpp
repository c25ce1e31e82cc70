#include "PdfExaminer.h"
#include "CommandRefused.h"
#include "CorpusManifest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace qp::pdfserver {
namespace {

QString refusalOf(PdfExaminer& examiner, const QString& path) {
    try {
        examiner.examine(path);
    } catch (const CommandRefused& refusal) {
        return refusal.message();
    }
    return {};
}

TEST(PopplerPdfExaminer, CorpusPdfsOpenWithTheirPagesAndPermissions) {
    PopplerPdfExaminer examiner;
    for (const test::CorpusPdf& pdf : test::corpusPdfs()) {
        SCOPED_TRACE(pdf.path.toStdString());
        if (pdf.needsPassword) {
            const QString message = refusalOf(examiner, pdf.path);
            EXPECT_TRUE(message.contains(QStringLiteral("protected by a password")))
                << message.toStdString();
            continue;
        }
        const PdfFacts facts = examiner.examine(pdf.path);
        EXPECT_EQ(facts.pageCount, pdf.pages);
        EXPECT_EQ(facts.printingAllowed, pdf.printingAllowed);
    }
}

TEST(PopplerPdfExaminer, RefusesWhatIsNoReadablePdfSayingWhy) {
    PopplerPdfExaminer examiner;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString garbage = dir.filePath(QStringLiteral("garbage.pdf"));
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    const QString empty = dir.filePath(QStringLiteral("empty.pdf"));
    QFile(empty).open(QIODevice::WriteOnly);
    const QString pipe = dir.filePath(QStringLiteral("pipe.pdf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("folder.pdf"));
    ASSERT_TRUE(QDir().mkdir(folder));

    const struct {
        QString path;
        QString reason;
    } cases[] = {
        {dir.filePath(QStringLiteral("missing.pdf")), QStringLiteral("does not exist")},
        {garbage, QStringLiteral("damaged beyond repair")},
        {empty, QStringLiteral("damaged beyond repair")},
        // A pipe would block the server until someone writes into it.
        {pipe, QStringLiteral("not a file")},
        {folder, QStringLiteral("not a file")},
    };
    for (const auto& c : cases) {
        const QString message = refusalOf(examiner, c.path);
        EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot open ") + c.path))
            << message.toStdString();
        EXPECT_TRUE(message.contains(c.reason)) << message.toStdString();
    }
}

} // namespace
} // namespace qp::pdfserver
