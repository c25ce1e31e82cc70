// The real-world Word, Excel and PowerPoint documents of the corpus, end to end.

#include "OfficeTestSupport.h"

#include <QDeadlineTimer>
#include <QThread>

namespace qp::test {
namespace {

using OfficeCorpus = OfficeSuite;

TEST_F(OfficeCorpus, PrintsWithTheManifestsPageCountOrCannotBeBound) {
    int documents = 0;
    for (const CorpusDocument& expected : corpus()) {
        if (expected.kind == "pdf")
            continue;
        ++documents;
        SCOPED_TRACE(expected.path.toStdString());
        if (expected.locked || expected.textOnly) {
            EXPECT_EQ(failureOf([&] { office->open(expected.path); }).number(),
                      ErrorNumber::CannotBind);
            continue;
        }
        auto document = office->open(expected.path);
        if (expected.kind == "xls")
            EXPECT_EQ(document->sheetCount(), expected.worksheets);
        if (expected.kind == "doc")
            document->activate();
        document->print(); // the whole document: its page count is the manifest's
        document->close();
        // A document whose pages change size or orientation goes as one job per run of equal
        // pages, all of them handed to CUPS when the print returned.
        const QDeadlineTimer drained(120000);
        while (cups->pendingJobs(queue) > 0 && !drained.hasExpired())
            QThread::msleep(50);
        const QStringList jobs = cups->jobFiles(queue).mid(jobsBefore);
        jobsBefore += jobs.size();
        int pages = 0;
        for (const QString& job : jobs)
            pages += pdfPages(job);
        // The manifest was made with other fonts and paper; then what this office exports is
        // the count to meet, up to the small difference between a printer's layout and an
        // export's.
        const int exported =
            pages == expected.pages ? pages : pdfPages(fixtures->convert(expected.path, "pdf"));
        EXPECT_LE(std::abs(pages - exported), std::max(2, exported / 20))
            << "printed " << pages << " pages in " << jobs.size() << " jobs, the manifest says "
            << expected.pages << ", this office exports " << exported;
        EXPECT_EQ(office->openDocumentCount(), 0);
    }
    EXPECT_EQ(documents, 45) << "the corpus is missing or incomplete at QP_CORPUS_DIR";
}

} // namespace
} // namespace qp::test
