#include "OfficeTestSupport.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "support/PrivateCups.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <cstdio>
#include <cups/cups.h>

namespace qp::test {
namespace {

using namespace Qt::StringLiterals;

// One Word, Excel or PowerPoint document of the corpus and what printing it must give.
struct CorpusDocument {
    QString kind;
    QString fileName;
    int pages = 0;       // of the whole document
    int worksheets = -1; // as LibreOffice counts them, for workbooks
    QString whyNotBound; // empty when it must print
};

void PrintTo(const CorpusDocument& document, std::ostream* out) {
    *out << document.fileName.toStdString();
}

std::vector<CorpusDocument> readManifest() {
    std::vector<CorpusDocument> documents;
    QFile manifest(corpusDir() + u"/MANIFEST.tsv"_s);
    if (corpusDir().isEmpty() || !manifest.open(QIODevice::ReadOnly | QIODevice::Text))
        return documents;
    const QStringList header = QString::fromUtf8(manifest.readLine()).trimmed().split('\t');
    const auto column = [&](const QStringList& row, const char* name) {
        return row[header.indexOf(QLatin1String(name))];
    };
    while (!manifest.atEnd()) {
        const QStringList row = QString::fromUtf8(manifest.readLine()).chopped(1).split('\t');
        if (row.size() < header.size() || column(row, "kind") == QLatin1String("pdf"))
            continue;
        CorpusDocument document{column(row, "kind"), column(row, "file_name"),
                                column(row, "pages_or_result").toInt()};
        const QRegularExpressionMatch count =
            QRegularExpression(u"LO=(\\d+)"_s).match(column(row, "worksheets"));
        if (count.hasMatch())
            document.worksheets = count.captured(1).toInt();
        if (column(row, "encrypted").startsWith(QLatin1String("yes")))
            document.whyNotBound = u"protected by a password"_s;
        else if (column(row, "notes").contains(QLatin1String("falls back to text import")))
            document.whyNotBound = u"opens only as plain text"_s;
        documents.push_back(document);
    }
    return documents;
}

// Whether CUPS has finished every job sent to the queue so far.
bool queueDrained(const QString& queue, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        cups_job_t* jobs = nullptr;
        const int active = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0,
                                        CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(active, jobs);
        if (active == 0)
            return true;
        QThread::msleep(50);
    }
    return false;
}

class OfficeCorpus : public OfficeSuite, public ::testing::WithParamInterface<CorpusDocument> {};

TEST_P(OfficeCorpus, PrintsWithTheManifestsPageCountOrCannotBeBound) {
    const CorpusDocument& expected = GetParam();
    const QString path = u"%1/%2/%3"_s.arg(corpusDir(), expected.kind, expected.fileName);
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    QElapsedTimer timer;
    timer.start();

    if (!expected.whyNotBound.isEmpty()) {
        EXPECT_EQ(failureOf([&] { office->open(path); }).number(), ErrorNumber::CannotBind)
            << "bound although " << expected.whyNotBound.toStdString();
        EXPECT_EQ(office->openDocumentCount(), 0);
        EXPECT_FALSE(cups->waitForJobs(Queue, m_jobsBefore + 1, 1000)) << "something was printed";
        return;
    }
    {
        auto document = office->open(path);
        if (expected.kind == QLatin1String("xls"))
            EXPECT_EQ(document->sheetCount(), expected.worksheets);
        if (expected.kind == QLatin1String("doc"))
            document->activate();
        // The whole document in one print: its page count is the manifest's.
        document->print();
        document->close();
    }
    // LibreOffice sends a document whose pages change size or orientation as one job per
    // run of equal pages; all of them were handed to CUPS when PrintOut returned.
    ASSERT_TRUE(queueDrained(Queue, 120000)) << cups->log().toStdString();
    const QStringList jobs = cups->jobFiles(Queue).mid(m_jobsBefore);
    ASSERT_GE(jobs.size(), 1);
    int pages = 0;
    for (const QString& job : jobs)
        pages += pdfPages(job);
    if (pages != expected.pages) {
        // The manifest was made on a machine with other fonts and paper; what this office
        // makes of the document on export is the count to meet then, up to the small
        // difference between a printer's layout and an export's.
        const int exported = pdfPages(fixtures->convert(path, u"pdf"_s));
        EXPECT_LE(std::abs(pages - exported), std::max(2, exported / 20))
            << "printed " << pages << " pages in " << jobs.size() << " jobs, the manifest says "
            << expected.pages << ", this office exports " << exported;
        std::printf("%s: printed %d pages, manifest %d, exported here %d\n",
                    qPrintable(expected.fileName), pages, expected.pages, exported);
    }
    EXPECT_EQ(office->openDocumentCount(), 0);
    // Far below the bound that would end the office: nothing came near hanging.
    EXPECT_LT(timer.elapsed(), 120000);
}

INSTANTIATE_TEST_SUITE_P(Manifest, OfficeCorpus, ::testing::ValuesIn(readManifest()),
                         [](const ::testing::TestParamInfo<CorpusDocument>& info) {
                             return u"%1_%2"_s.arg(info.index).arg(info.param.kind).toStdString();
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(OfficeCorpus);

TEST(OfficeCorpusPresence, TheCorpusIsThere) {
    if (readManifest().empty()) {
        ASSERT_FALSE(mustNotSkip()) << "no corpus at QP_CORPUS_DIR";
        GTEST_SKIP() << "no corpus at QP_CORPUS_DIR";
    }
    EXPECT_EQ(readManifest().size(), 45u);
}

} // namespace
} // namespace qp::test
