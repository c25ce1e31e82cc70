#include "CorpusManifest.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

namespace qp::test {

std::vector<CorpusPdf> corpusPdfs() {
    const QDir corpus(qEnvironmentVariable("QP_CORPUS_DIR"));
    QFile manifest(corpus.filePath(QStringLiteral("MANIFEST.tsv")));
    if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ADD_FAILURE() << "no corpus manifest at " << manifest.fileName().toStdString();
        return {};
    }
    const QStringList header = QString::fromUtf8(manifest.readLine()).trimmed().split('\t');
    const int kind = header.indexOf(QStringLiteral("kind"));
    const int name = header.indexOf(QStringLiteral("file_name"));
    const int pages = header.indexOf(QStringLiteral("pages_or_result"));
    const int encrypted = header.indexOf(QStringLiteral("encrypted"));
    std::vector<CorpusPdf> pdfs;
    while (!manifest.atEnd()) {
        const QStringList row = QString::fromUtf8(manifest.readLine()).chopped(1).split('\t');
        if (row.size() <= std::max({kind, name, pages, encrypted}) ||
            row[kind] != QLatin1String("pdf"))
            continue;
        CorpusPdf pdf;
        pdf.path = corpus.filePath(QStringLiteral("pdf/") + row[name]);
        bool numeric = false;
        pdf.pages = row[pages].toInt(&numeric);
        pdf.needsPassword = !numeric && row[pages].startsWith(QLatin1String("fails"));
        pdf.printingAllowed = !row[encrypted].contains(QLatin1String("print:no"));
        pdfs.push_back(pdf);
    }
    EXPECT_EQ(pdfs.size(), 15u) << "the corpus should hold 15 PDFs";
    return pdfs;
}

CorpusPdf corpusPdf(const QString& fileName) {
    for (const CorpusPdf& pdf : corpusPdfs())
        if (pdf.path.endsWith(QLatin1Char('/') + fileName))
            return pdf;
    ADD_FAILURE() << "no corpus PDF " << fileName.toStdString();
    return {};
}

} // namespace qp::test
