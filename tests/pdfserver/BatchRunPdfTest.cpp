// PDF entries printed by the batch run with everything real below it: the program starter,
// the session-bus conversation, the PDF print server and a private CUPS server.

#include "PdfServerHarness.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusConversation.h"
#include "printing/Automation.h"
#include "printing/BatchRun.h"
#include "support/ListRunView.h"
#include "printing/WaitClock.h"
#include "support/Fakes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

namespace qp::test {
namespace {

// The window as the run sees it: a list of entries and a record of what it was told.
// These batches hold PDFs only; an Office entry reaching automation is a fault of the run.
class NoOfficeAutomation : public Automation {
public:
    std::unique_ptr<AutomationObject> bind(const QString& path) override {
        ADD_FAILURE() << "a PDF entry went to Office automation: " << path.toStdString();
        throw AppError(ErrorNumber::CannotBind, path);
    }
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
        BatchRun batchRun(view, prompter, settings, automation, starter, conversation, clock);
        batchRun.run();
    }

    QTemporaryDir dir;
    QString launcher;
    QString startLog;
    test::ListRunView view;
    FakePrompter prompter;
    FakeSettingsStore settings;
    NoOfficeAutomation automation;
    QProcessProgramStarter starter;
    DBusConversation conversation;
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
    EXPECT_EQ(view.locateAcrobatShown, 1);
    EXPECT_TRUE(view.entries.isEmpty());
    EXPECT_EQ(cups->jobFiles(queue).size(), jobsBefore);
}

TEST_F(BatchRunPdfTest, RefusedPdfEndsTheBatchWithTheServersMessage) {
    const QString locked = corpusPdf("libreoffice-writer-password.pdf");
    view.entries = {locked, corpusPdf("rotation.pdf")};
    prompter.script(PromptAnswer::Ok);

    run(launcher);

    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].title, "Error...");
    EXPECT_EQ(prompter.boxes[0].text,
              QStringLiteral("Error: %1\r\nCannot open %2: the document is protected by a "
                             "password.\r\nAs a result the batch will be terminated.")
                  .arg(ErrorNumber::ConversationRefused)
                  .arg(locked));
    // The settings are kept: the server answered, it only refused.
    EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), launcher);
    QThread::msleep(500);
    EXPECT_EQ(cups->jobFiles(queue).size(), jobsBefore);
}

} // namespace
} // namespace qp::test
