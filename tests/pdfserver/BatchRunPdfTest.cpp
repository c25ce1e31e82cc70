// The batch run with everything real below its PDF entries: the program starter, the
// session-bus client, the PDF print server and a private CUPS server.

#include "PdfServerHarness.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "printing/BatchRun.h"
#include "support/Fakes.h"

#include <QTest>

namespace qp::test {
namespace {

// The server leaves after a second without commands here; the Word entry between the two PDFs
// outlasts that, and the run starts it again rather than forget it.
TEST_F(ServingTest, ServerThatLeftDuringTheRunIsStartedAgain) {
    QTemporaryDir dir;
    const QString launcher = dir.filePath("PDF server, [counted]"), log = dir.filePath("log");
    QFile script(launcher);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QString("#!/bin/sh\necho started >> '%1'\nexec '%2'\n")
                     .arg(log, pdfServerProgram())
                     .toUtf8());
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    script.close();
    ListRunView view;
    view.entries = QStringList{corpusFile("pdf/rotation.pdf"), dir.filePath("long report.doc"),
                               corpusFile("pdf/sizes.pdf")};
    FakePrompter prompter;
    prompter.script(PromptAnswer::Yes); // go on after the Word entry
    prompter.script(PromptAnswer::No);  // no save
    FakeSettingsStore settings;
    settings.set("Quirepress/Settings/Acrobat", launcher);
    QStringList journal;
    FakeOffice office{journal}; // the Word entry takes its time, then cannot be opened
    office.onOpen = [] { QTest::qWait(3000); };
    office.fail("bind " + view.entries[1], AppError(ErrorNumber::CannotBind, "unreadable"));
    QProcessProgramStarter starter;
    DBusPdfPrintServer server;
    qputenv("QP_PDF_SERVER_IDLE_SECONDS", "1");
    BatchRun(view, prompter, settings, office, starter, server).run();
    qunsetenv("QP_PDF_SERVER_IDLE_SECONDS");
    ASSERT_EQ(prompter.boxes.size(), 2u);
    EXPECT_EQ(prompter.boxes[0].title, "File does not exist...");
    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(corpusFile("pdf/sizes.pdf")));
    EXPECT_EQ(fileBytes(log), "started\nstarted\n");
    EXPECT_EQ(settings.get("Quirepress/Settings/Acrobat"), launcher);
}

} // namespace
} // namespace qp::test
