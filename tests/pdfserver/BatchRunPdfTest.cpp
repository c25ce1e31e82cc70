// PDF entries printed by the batch run with everything real below it: the program starter,
// the session-bus client, the PDF print server and a private CUPS server.

#include "PdfServerHarness.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "printing/BatchRun.h"
#include "printing/OfficeDocument.h"
#include "printing/WaitClock.h"
#include "support/Fakes.h"
#include "support/ListRunView.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
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

// Real time, but the wait for a program that never answers passes twenty times faster.
class HurriedClock : public WaitClock {
public:
    std::chrono::steady_clock::time_point now() const override {
        return begun + (std::chrono::steady_clock::now() - begun) * 20;
    }
    void sleepFor(std::chrono::milliseconds duration) override {
        QThread::msleep(static_cast<unsigned long>(duration.count()));
    }
    std::chrono::steady_clock::time_point begun = std::chrono::steady_clock::now();
};

class BatchRunPdfTest : public KeptJobsTest {
protected:
    void SetUp() override {
        KeptJobsTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        // The stored "Acrobat" program: the real server behind a script that counts starts.
        launcher = dir.filePath("PDF server, [counted]/start server");
        startLog = dir.filePath("starts.log");
        QDir().mkpath(QFileInfo(launcher).absolutePath());
        QFile script(launcher);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho started >> '%1'\n'%2'\necho ended >> '%1'\n")
                         .arg(startLog, pdfServerProgram())
                         .toUtf8());
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    int logged(const char* what) const {
        QFile log(startLog);
        return log.open(QIODevice::ReadOnly) ? log.readAll().count(what) : 0;
    }
    void run(const QString& acrobatPath) {
        settings.set("Quirepress/Settings/Acrobat", acrobatPath);
        BatchRun batchRun(view, prompter, settings, office, starter, pdfServer, clock);
        batchRun.run();
    }

    QTemporaryDir dir;
    QString launcher;
    QString startLog;
    test::ListRunView view;
    FakePrompter prompter;
    FakeSettingsStore settings;
    SlowUnopenableOffice office;
    QProcessProgramStarter starter;
    DBusPdfPrintServer pdfServer;
    HurriedClock clock;
};

TEST_F(BatchRunPdfTest, TwoPdfsStartTheServerOnceAndPrintTwoJobsInOrder) {
    const QString first = dir.filePath("Rechnung Nr. 1, [Kopie] – Müller.pdf");
    copyFile(corpusPdf("rotation.pdf"), first);
    const QString second = corpusPdf("tracemonkey.pdf");
    view.entries = {first, second};
    prompter.script(PromptAnswer::No); // "Save batch..."

    run(launcher);

    ASSERT_EQ(prompter.boxes.size(), 1u) << prompter.boxes.front().text.toStdString();
    EXPECT_EQ(prompter.boxes[0].title, "Save batch...");
    EXPECT_EQ(logged("started"), 1);
    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[0]), fileBytes(first));
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(second));

    // The next run starts the program again; the new start leaves the serving server alone.
    const QString owner = conversationOwner();
    view.entries = {second};
    prompter.script(PromptAnswer::No);
    run(launcher);
    EXPECT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(logged("started"), 2);
    EXPECT_EQ(newJobs(3).size(), 3);
    // Once it has ended, a late second server cannot take the name of the first.
    QDeadlineTimer deadline(10000);
    while (logged("ended") < 1 && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_GE(logged("ended"), 1) << "the second server did not end by itself";
    EXPECT_EQ(conversationOwner(), owner);
}

TEST_F(BatchRunPdfTest, ProgramThatNeverAnswersIsForgottenWithTheAcrobatProblem) {
    settings.set("Quirepress/Settings/AcroCancelled", "1");
    view.entries = {corpusPdf("rotation.pdf")};
    prompter.script(PromptAnswer::Ok);

    run("/bin/true");

    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].title, "Problem with acrobat...");
    EXPECT_EQ(prompter.boxes[0].text,
              "There was a problem with finding Acrobat. Please select Locate "
              "Acrobat from the File menu.");
    EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), QString());
    EXPECT_EQ(settings.get("Quirepress/Settings/AcroCancelled"), "0");
    EXPECT_EQ(view.locatePdfServerShown, 1);
    EXPECT_TRUE(view.entries.isEmpty());
    EXPECT_EQ(cups->jobFiles(queue).size(), jobsBefore);
}

// What lies in the document itself lets the user go on with the rest of the batch, as an
// Office file that cannot be opened does; the stored program stays, since it answered.
TEST_F(BatchRunPdfTest, PdfTheServerRefusesAsksWhetherToGoOn) {
    const QString notPdf = dir.filePath("notes.pdf");
    QFile text(notPdf);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("plain text, not a PDF\n");
    text.close();
    const QStringList refused{corpusPdf("libreoffice-writer-password.pdf"),
                              corpusPdf("encryption_noprinting.pdf"), notPdf,
                              dir.filePath("missing.pdf")};
    const QString good = corpusPdf("rotation.pdf");
    for (const bool goOn : {true, false}) {
        SCOPED_TRACE(goOn ? "Yes" : "No");
        view.entries = refused + QStringList{good};
        const size_t boxesBefore = prompter.boxes.size();
        for (int i = 0; i < (goOn ? refused.size() : 1); ++i)
            prompter.script(goOn ? PromptAnswer::Yes : PromptAnswer::No);
        if (goOn)
            prompter.script(PromptAnswer::No); // "Save batch..."

        run(launcher);

        const std::vector<FakePrompter::Box> boxes(prompter.boxes.begin() + boxesBefore,
                                                   prompter.boxes.end());
        ASSERT_EQ(boxes.size(), goOn ? refused.size() + 1 : 1u);
        for (int i = 0; i < (goOn ? refused.size() : 1); ++i) {
            EXPECT_EQ(boxes[i].title, "File does not exist...");
            EXPECT_EQ(boxes[i].text,
                      refused[i] + " is not a valid file.  Do you wish to continue?");
        }
        EXPECT_EQ(newJobs(1).size(), 1) << "only the good PDF of the first batch prints";
        EXPECT_TRUE(view.entries.isEmpty());
        EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), launcher);
    }
    // The second run's server finds the first one serving and ends by itself.
    QDeadlineTimer deadline(10000);
    while (logged("ended") < 1 && !deadline.hasExpired())
        QThread::msleep(20);
}

// The server leaves after a second without commands here; the Word entry between the two
// PDFs outlasts that, and the run starts it again rather than forget it.
TEST_F(BatchRunPdfTest, ServerThatLeftDuringTheRunIsStartedAgain) {
    qputenv("QP_PDF_SERVER_IDLE_SECONDS", "1");
    office.pauseMilliseconds = 3000;
    const QString first = corpusPdf("rotation.pdf");
    const QString second = corpusPdf("sizes.pdf");
    view.entries = {first, dir.filePath("long report.doc"), second};
    prompter.script(PromptAnswer::Yes); // go on after the Word entry
    prompter.script(PromptAnswer::No);  // "Save batch..."

    run(launcher);
    qunsetenv("QP_PDF_SERVER_IDLE_SECONDS");

    ASSERT_EQ(prompter.boxes.size(), 2u) << prompter.boxes.back().text.toStdString();
    EXPECT_EQ(prompter.boxes[1].title, "Save batch...");
    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(second));
    EXPECT_EQ(logged("started"), 2);
    EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), launcher);
}

// The server does not share the program's working folder: a relative entry is sent whole.
TEST_F(BatchRunPdfTest, RelativeEntryPrintsTheFileOfTheWorkingFolder) {
    copyFile(corpusPdf("rotation.pdf"), dir.filePath("relative.pdf"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    view.entries = {"relative.pdf"};
    prompter.script(PromptAnswer::No); // "Save batch..."

    run(launcher);
    QDir::setCurrent(before);

    ASSERT_EQ(prompter.boxes.size(), 1u) << prompter.boxes.front().text.toStdString();
    EXPECT_EQ(prompter.boxes[0].title, "Save batch...");
    const QStringList jobs = newJobs(1);
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(fileBytes(jobs[0]), fileBytes(corpusPdf("rotation.pdf")));
}

} // namespace
} // namespace qp::test
