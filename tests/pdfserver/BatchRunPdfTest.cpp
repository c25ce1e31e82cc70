// PDF entries printed by the batch run with everything real below it: the program starter,
// the session-bus client, the PDF print server and a private CUPS server; and a mixed batch
// through the real main window on a fresh machine.

#include "PdfServerHarness.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "printing/BatchRun.h"
#include "printing/WaitClock.h"
#include "support/ListRunView.h"
#include "support/WindowFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
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

class BatchRunPdf : public KeptJobsTest {
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
    // The message boxes of a run of these entries, answered as given.
    std::vector<FakePrompter::Box> run(const QStringList& entries,
                                       const std::vector<PromptAnswer>& answers,
                                       const QString& acrobat) {
        view.entries = entries;
        FakePrompter prompter;
        for (const PromptAnswer answer : answers)
            prompter.script(answer);
        settings.set("Quirepress/Settings/Acrobat", acrobat);
        BatchRun(view, prompter, settings, office, starter, pdfServer, clock).run();
        EXPECT_TRUE(view.entries.isEmpty());
        return prompter.boxes;
    }

    QTemporaryDir dir;
    const QString launcher = dir.filePath("PDF server, [counted]/start server");
    const QString startLog = dir.filePath("starts.log");
    ListRunView view;
    FakeSettingsStore settings;
    SlowUnopenableOffice office;
    QProcessProgramStarter starter;
    DBusPdfPrintServer pdfServer;
    HurriedClock clock;
};

// The server does not share the program's working folder: a relative entry is sent whole.
TEST_F(BatchRunPdf, TwoPdfsStartTheServerOnceAndPrintTwoJobsInOrder) {
    const QString first = "Rechnung Nr. 1, [Kopie] – Müller.pdf";
    const QString second = corpusFile("pdf/tracemonkey.pdf");
    ASSERT_TRUE(QFile::copy(corpusFile("pdf/rotation.pdf"), dir.filePath(first)));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    auto boxes = run({first, second}, {PromptAnswer::No}, launcher);
    QDir::setCurrent(before);
    ASSERT_EQ(boxes.size(), 1u) << boxes.front().text.toStdString();
    EXPECT_EQ(boxes[0].title, "Save batch...");
    EXPECT_EQ(logged("started"), 1);
    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[0]), fileBytes(dir.filePath(first)));
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(second));

    // The next run starts the program again; the new start leaves the serving server alone,
    // and once it has ended, a late second server cannot take the name of the first.
    const QString owner = conversationOwner();
    EXPECT_EQ(run({second}, {PromptAnswer::No}, launcher).size(), 1u);
    EXPECT_EQ(logged("started"), 2);
    EXPECT_EQ(newJobs(3).size(), 3);
    EXPECT_GE(logged("ended", 1), 1) << "the second server did not end by itself";
    EXPECT_EQ(conversationOwner(), owner);
}

TEST_F(BatchRunPdf, ProgramThatNeverAnswersIsForgottenWithTheAcrobatProblem) {
    settings.set("Quirepress/Settings/AcroCancelled", "1");
    const auto boxes = run({corpusFile("pdf/rotation.pdf")}, {PromptAnswer::Ok}, "/bin/true");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Problem with acrobat...");
    EXPECT_EQ(boxes[0].text, "There was a problem with finding Acrobat. Please select Locate "
                             "Acrobat from the File menu.");
    EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), QString());
    EXPECT_EQ(settings.get("Quirepress/Settings/AcroCancelled"), "0");
    EXPECT_EQ(view.locatePdfServerShown, 1);
    EXPECT_EQ(cups->jobFiles(queue).size(), jobsBefore);
}

// What lies in the document itself (here refused at printing and at opening) lets the user
// go on with the rest of the batch; the stored program stays, since it answered.
TEST_F(BatchRunPdf, PdfTheServerRefusesAsksWhetherToGoOn) {
    const QStringList refused{corpusFile("pdf/encryption_noprinting.pdf"),
                              dir.filePath("gone.pdf")};
    for (const bool goOn : {true, false}) {
        SCOPED_TRACE(goOn ? "Yes" : "No");
        const auto boxes =
            run(refused + QStringList{corpusFile("pdf/rotation.pdf")},
                goOn ? std::vector{PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::No}
                     : std::vector{PromptAnswer::No},
                launcher);
        const size_t asked = goOn ? refused.size() : 1;
        ASSERT_EQ(boxes.size(), goOn ? asked + 1 : asked);
        for (size_t i = 0; i < asked; ++i) {
            EXPECT_EQ(boxes[i].title, "File does not exist...");
            EXPECT_EQ(boxes[i].text,
                      refused[i] + " is not a valid file.  Do you wish to continue?");
        }
        EXPECT_EQ(newJobs(1).size(), 1) << "only the good PDF of the first batch prints";
        EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), launcher);
    }
    logged("ended", 1); // the second run's server finds the first one serving and ends
}

// The server leaves after a second without commands here; the Word entry between the two
// PDFs outlasts that, and the run starts it again rather than forget it.
TEST_F(BatchRunPdf, ServerThatLeftDuringTheRunIsStartedAgain) {
    qputenv("QP_PDF_SERVER_IDLE_SECONDS", "1");
    office.pauseMilliseconds = 3000;
    const QString second = corpusFile("pdf/sizes.pdf");
    const auto boxes =
        run({corpusFile("pdf/rotation.pdf"), dir.filePath("long report.doc"), second},
            {PromptAnswer::Yes, PromptAnswer::No}, launcher);
    qunsetenv("QP_PDF_SERVER_IDLE_SECONDS");
    ASSERT_EQ(boxes.size(), 2u) << boxes.back().text.toStdString();
    EXPECT_EQ(boxes[1].title, "Save batch...");
    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(second));
    EXPECT_EQ(logged("started"), 2);
    EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), launcher);
}

// The first-run dialog chooses the PDF print server; Office entries go to a real LibreOffice
// and PDF entries to the real server, and everything arrives in list order.
TEST_F(BatchRunPdf, MixedBatchThroughTheWindowFromAFreshStartArrivesInListOrder) {
    const QString firstPdf = corpusFile("pdf/sizes.pdf");
    const QString word = corpusFile("doc/TestChineseProperties.doc");
    const QString secondPdf = dir.filePath("Angebot (Entwurf), [v2] – Größe.PDF");
    ASSERT_TRUE(QFile::copy(corpusFile("pdf/XiaoBiaoSong.pdf"), secondPdf));
    WindowFixture fixture;
    LibreOfficeApplication realOffice(fixture.settings);
    fixture.office = &realOffice;
    fixture.starter = &starter;
    fixture.pdfServer = &pdfServer;
    fixture.executableDir = qEnvironmentVariable("QP_RUNTIME_DIR");

    fixture.prompter.script(PromptAnswer::Ok); // "Find Acrobat..."
    fixture.dialogs.script(pdfServerProgram());
    fixture.window().runStartupChecks();
    ASSERT_EQ(fixture.dialogs.requests.size(), 1u);
    EXPECT_EQ(QDir(fixture.dialogs.requests[0].initDir),
              QFileInfo(pdfServerProgram()).absoluteDir())
        << "the dialog does not open where the server lies";
    EXPECT_EQ(fixture.settings.get("Quirepress/Settings/Acrobat"), pdfServerProgram());
    for (const QString& path : {firstPdf, word, secondPdf}) {
        fixture.find<QLineEdit>("pathEdit")->setText(path);
        QTest::mouseClick(fixture.find<QPushButton>("addButton"), Qt::LeftButton);
    }
    ASSERT_EQ(fixture.listEntries(), (QStringList{firstPdf, word, secondPdf}));
    fixture.prompter.script(PromptAnswer::No); // "Save batch..."
    QTest::mouseClick(fixture.find<QPushButton>("printButton"), Qt::LeftButton);
    ASSERT_EQ(fixture.prompter.boxes.size(), 2u)
        << fixture.prompter.boxes.back().text.toStdString();
    EXPECT_EQ(fixture.prompter.boxes[1].title, "Save batch...");
    EXPECT_TRUE(fixture.listEntries().isEmpty());
    const QStringList jobs = newJobs(3, 120000);
    ASSERT_EQ(jobs.size(), 3);
    EXPECT_EQ(fileBytes(jobs[0]), fileBytes(firstPdf));
    EXPECT_EQ(pdfPages(jobs[1]), 1); // rendered by LibreOffice
    EXPECT_EQ(fileBytes(jobs[2]), fileBytes(secondPdf));
}

} // namespace
} // namespace qp::test
