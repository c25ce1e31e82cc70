#include "OfficeTestSupport.h"
#include "core/AppError.h"
#include "platform/libreoffice/LibreOfficeAutomation.h"
#include "platform/libreoffice/OfficeProfile.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <cups/cups.h>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

const QString Queue = QStringLiteral("corpus");

// One Word, Excel or PowerPoint document of the corpus and what printing it must give.
struct CorpusDocument {
    QString kind;
    QString fileName;
    int pages = 0;       // of the whole document
    int worksheets = -1; // as LibreOffice counts them, for workbooks
    bool cannotBind = false;
    QString why;
};

void PrintTo(const CorpusDocument& document, std::ostream* out) {
    *out << document.fileName.toStdString();
}

std::vector<CorpusDocument> readManifest() {
    std::vector<CorpusDocument> documents;
    const QString dir = corpusDir();
    if (dir.isEmpty())
        return documents;
    QFile manifest(dir + QStringLiteral("/MANIFEST.tsv"));
    if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text))
        return documents;
    const QStringList header = QString::fromUtf8(manifest.readLine()).trimmed().split('\t');
    const int kind = header.indexOf(QStringLiteral("kind"));
    const int name = header.indexOf(QStringLiteral("file_name"));
    const int pages = header.indexOf(QStringLiteral("pages_or_result"));
    const int sheets = header.indexOf(QStringLiteral("worksheets"));
    const int encrypted = header.indexOf(QStringLiteral("encrypted"));
    const int notes = header.indexOf(QStringLiteral("notes"));
    while (!manifest.atEnd()) {
        const QStringList row = QString::fromUtf8(manifest.readLine()).chopped(1).split('\t');
        if (row.size() < header.size() || row[kind] == QLatin1String("pdf"))
            continue;
        CorpusDocument document;
        document.kind = row[kind];
        document.fileName = row[name];
        document.pages = row[pages].toInt();
        const QRegularExpressionMatch count =
            QRegularExpression(QStringLiteral("LO=(\\d+)")).match(row[sheets]);
        if (count.hasMatch())
            document.worksheets = count.captured(1).toInt();
        if (row[encrypted].startsWith(QLatin1String("yes"))) {
            document.cannotBind = true;
            document.why = QStringLiteral("protected by a password");
        } else if (row[notes].contains(QLatin1String("falls back to text import"))) {
            // LibreOffice would print its bytes as text: the adapter refuses it.
            document.cannotBind = true;
            document.why = QStringLiteral("opens only as plain text");
        }
        documents.push_back(document);
    }
    return documents;
}

// Pages of the PDF that this LibreOffice exports for the document, as the manifest counts.
int exportedPages(const QString& path) {
    QTemporaryDir out;
    OfficeProfile profile(LibreOfficeAutomation::defaultProgramDir());
    QProcess soffice;
    soffice.start(QStringLiteral("soffice"),
                  {QStringLiteral("-env:UserInstallation=") + profile.url(),
                   QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                   QStringLiteral("pdf"), QStringLiteral("--outdir"), out.path(), path});
    if (!soffice.waitForFinished(300000))
        return -1;
    const QStringList pdfs = QDir(out.path()).entryList({QStringLiteral("*.pdf")});
    return pdfs.isEmpty() ? -1 : pdfPages(out.filePath(pdfs.front()));
}

// Whether CUPS has finished every job sent to the queue so far.
bool queueDrained(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        cups_job_t* jobs = nullptr;
        const int active = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, Queue.toUtf8().constData(), 0,
                                        CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(active, jobs);
        if (active == 0)
            return true;
        QThread::msleep(50);
    }
    return false;
}

class OfficeCorpus : public ::testing::TestWithParam<CorpusDocument> {
protected:
    static void SetUpTestSuite() {
        cups = new PrivateCups;
        cups->addKeepingQueue(Queue, true);
        settings = new FakeSettingsStore;
        office = new LibreOfficeAutomation(*settings);
    }
    static void TearDownTestSuite() {
        delete office;
        delete settings;
        delete cups;
    }
    static PrivateCups* cups;
    static FakeSettingsStore* settings;
    static LibreOfficeAutomation* office;
};

PrivateCups* OfficeCorpus::cups = nullptr;
FakeSettingsStore* OfficeCorpus::settings = nullptr;
LibreOfficeAutomation* OfficeCorpus::office = nullptr;

TEST_P(OfficeCorpus, PrintsWithTheManifestsPageCountOrCannotBeBound) {
    const CorpusDocument& expected = GetParam();
    const QString path =
        corpusDir() + QLatin1Char('/') + expected.kind + QLatin1Char('/') + expected.fileName;
    ASSERT_TRUE(QFile::exists(path)) << path.toStdString();
    const int before = cups->jobFiles(Queue).size();
    QElapsedTimer timer;
    timer.start();

    if (expected.cannotBind) {
        try {
            office->bind(path);
            FAIL() << "bound although " << expected.why.toStdString();
        } catch (const AppError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::CannotBind) << error.what();
        }
        EXPECT_EQ(office->openDocumentCount(), 0);
        EXPECT_FALSE(cups->waitForJobs(Queue, before + 1, 1000)) << "something was printed";
        return;
    }

    {
        auto document = office->bind(path);
        if (expected.kind == QLatin1String("xls")) {
            EXPECT_EQ(document->object(QStringLiteral("Worksheets"))
                          ->value(QStringLiteral("Count"))
                          .toInt(),
                      expected.worksheets);
        }
        if (expected.kind == QLatin1String("doc"))
            document->call(QStringLiteral("Activate"));
        // The whole document in one job: its page count is the manifest's.
        document->call(QStringLiteral("PrintOut"));
        document->call(QStringLiteral("Close"));
    }
    // LibreOffice sends a document whose pages change size or orientation as one job per
    // run of equal pages; all of them were handed to CUPS when PrintOut returned.
    ASSERT_TRUE(queueDrained(120000)) << cups->log().toStdString();
    ASSERT_GE(cups->jobFiles(Queue).size(), before + 1);
    int pages = 0;
    QStringList perJob;
    for (const QString& job : cups->jobFiles(Queue).mid(before)) {
        pages += pdfPages(job);
        perJob << QString::number(pdfPages(job));
    }
    if (pages != expected.pages) {
        // The manifest was made on a machine with other fonts and paper; what this office
        // makes of the document on export is the count to meet then, up to the small
        // difference between a printer's layout and an export's.
        const int exported = exportedPages(path);
        const int slack = std::max(2, exported / 20);
        EXPECT_LE(std::abs(pages - exported), slack)
            << "printed " << pages << " pages (jobs: " << perJob.join(' ').toStdString()
            << "), the manifest says " << expected.pages << ", this office exports " << exported;
        std::printf("%s: printed %d pages, manifest %d, exported here %d\n",
                    qPrintable(expected.fileName), pages, expected.pages, exported);
    }
    EXPECT_EQ(office->openDocumentCount(), 0);
    // Far below the bound that would end the office: nothing came near hanging.
    EXPECT_LT(timer.elapsed(), 120000);
}

std::string testName(const ::testing::TestParamInfo<CorpusDocument>& info) {
    std::string name = QStringLiteral("%1_%2").arg(info.index).arg(info.param.kind).toStdString();
    return name;
}

INSTANTIATE_TEST_SUITE_P(Manifest, OfficeCorpus, ::testing::ValuesIn(readManifest()), testName);
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
