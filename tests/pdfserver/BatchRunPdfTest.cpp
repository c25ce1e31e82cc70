// PDF entries printed by the batch run with everything real below it: the program starter,
// the session-bus client, the PDF print server and a private CUPS server.

#include "PdfServerHarness.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "printing/BatchRun.h"
#include "printing/OfficeDocument.h"
#include "support/Fakes.h"
#include "support/ListRunView.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace qp::test {
namespace {

// These batches hold PDFs and, in places, a Word entry that only takes its time and then
// cannot be opened; a PDF entry reaching the office is a fault of the run.
class SlowUnopenableOffice : public OfficeApplication {
public:
    std::unique_ptr<OfficeDocument> open(const QString& path) override {
        EXPECT_TRUE(path.endsWith(".doc"))
            << "a PDF entry went to the office: " << qPrintable(path);
        QEventLoop loop;
        QTimer::singleShot(pauseMilliseconds, &loop, &QEventLoop::quit);
        loop.exec();
        throw AppError(ErrorNumber::CannotBind, path);
    }
    int pauseMilliseconds = 0;
};

class BatchRunPdf : public ServingTest {
protected:
    void SetUp() override {
        KeptJobsTest::SetUp();
        // The stored "Acrobat" program: the real server behind a script that counts starts.
        QDir().mkpath(QFileInfo(launcher).path());
        QFile script(launcher);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QString("#!/bin/sh\necho started >> '%1'\n'%2'\necho ended >> '%1'\n")
                         .arg(startLog, pdfServerProgram())
                         .toUtf8());
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // How often the launcher logged that, waiting up to 10 s for it to reach atLeast.
    int logged(const char* what, int atLeast = 0) const {
        for (const QDeadlineTimer deadline(10000);; QThread::msleep(20)) {
            QFile log(startLog);
            const int count = log.open(QIODevice::ReadOnly) ? log.readAll().count(what) : 0;
            if (count >= atLeast || deadline.hasExpired())
                return count;
        }
    }
    // The titles of the message boxes a run of these entries shows, answered as given.
    QStringList run(const QStringList& entries, const std::vector<PromptAnswer>& answers) {
        view.entries = entries;
        FakePrompter prompter;
        for (const PromptAnswer answer : answers)
            prompter.script(answer);
        settings.set("Quirepress/Settings/Acrobat", launcher);
        BatchRun(view, prompter, settings, office, starter, pdfServer).run();
        EXPECT_TRUE(view.entries.isEmpty());
        texts.clear();
        QStringList titles;
        for (const FakePrompter::Box& box : prompter.boxes) {
            titles << box.title;
            texts << box.text;
        }
        return titles;
    }

    QTemporaryDir dir;
    const QString launcher = dir.filePath("PDF server, [counted]/start server");
    const QString startLog = dir.filePath("starts.log");
    ListRunView view;
    FakeSettingsStore settings;
    SlowUnopenableOffice office;
    QProcessProgramStarter starter;
    DBusPdfPrintServer pdfServer;
    QStringList texts; // of the last run's boxes
};

// The server does not share the program's working folder: a relative entry is sent whole.
TEST_F(BatchRunPdf, TwoPdfsStartTheServerOnceAndPrintTwoJobsInOrder) {
    const QStringList entries{"Rechnung Nr. 1, [Kopie] – Müller.pdf",
                              corpusFile("pdf/tracemonkey.pdf")};
    ASSERT_TRUE(QFile::copy(corpusFile("pdf/rotation.pdf"), dir.filePath(entries[0])));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(run(entries, {PromptAnswer::No}), QStringList{"Save batch..."})
        << texts.join('\n').toStdString();
    QDir::setCurrent(before);
    EXPECT_EQ(logged("started"), 1);
    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[0]), fileBytes(dir.filePath(entries[0])));
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(entries[1]));
    // The next run starts the program again; the new start leaves the serving server alone,
    // and once it has ended, a late second server cannot take the name of the first.
    const QString owner = conversationOwner();
    EXPECT_EQ(run({entries[1]}, {PromptAnswer::No}), QStringList{"Save batch..."});
    EXPECT_EQ(logged("started"), 2);
    newJobs(1);
    EXPECT_GE(logged("ended", 1), 1) << "the second server did not end by itself";
    EXPECT_EQ(conversationOwner(), owner);
}

// What lies in the document itself (here refused at printing and at opening) lets the user
// go on with the rest of the batch; the stored program stays, since it answered.
TEST_F(BatchRunPdf, PdfTheServerRefusesAsksWhetherToGoOn) {
    const QStringList refused{corpusFile("pdf/encryption_noprinting.pdf"),
                              dir.filePath("gone.pdf")};
    const QString title = "File does not exist...",
                  asks = " is not a valid file.  Do you wish to continue?";
    EXPECT_EQ(run(refused + QStringList{corpusFile("pdf/rotation.pdf")},
                  {PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::No}),
              (QStringList{title, title, "Save batch..."}));
    EXPECT_EQ(texts.mid(0, 2), (QStringList{refused[0] + asks, refused[1] + asks}));
    newJobs(1);
    EXPECT_EQ(run(refused + QStringList{corpusFile("pdf/rotation.pdf")}, {PromptAnswer::No}),
              QStringList{title});
    newJobs(0); // No ended the batch
    EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), launcher);
    logged("ended", 1); // the second run's server finds the first one serving and ends
}

// The server leaves after a second without commands here; the Word entry between the two
// PDFs outlasts that, and the run starts it again rather than forget it.
TEST_F(BatchRunPdf, ServerThatLeftDuringTheRunIsStartedAgain) {
    qputenv("QP_PDF_SERVER_IDLE_SECONDS", "1");
    office.pauseMilliseconds = 3000;
    const QStringList entries{corpusFile("pdf/rotation.pdf"), dir.filePath("long report.doc"),
                              corpusFile("pdf/sizes.pdf")};
    EXPECT_EQ(run(entries, {PromptAnswer::Yes, PromptAnswer::No}),
              (QStringList{"File does not exist...", "Save batch..."}));
    qunsetenv("QP_PDF_SERVER_IDLE_SECONDS");
    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(entries[2]));
    EXPECT_EQ(logged("started"), 2);
    EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), launcher);
}

} // namespace
} // namespace qp::test
