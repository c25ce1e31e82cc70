// The batch run and quirepress --print with the real PDF print server on the session bus and
// a private CUPS server.
// Not built yet: these follow the batch run, which is becoming a job of the event loop.

#include "SessionServer.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "printing/BatchRun.h"

#include <QDir>
#include <QUuid>

namespace qp::test {
namespace {

// The server leaves after a second without commands here; the Word entry between the two PDFs
// outlasts that, and the run starts it again rather than forget it.
TEST_F(ServingTest, ServerThatLeftDuringTheRunIsStartedAgain) {
    QTemporaryDir dir;
    const QString launcher = dir.filePath("PDF server, [counted]"), log = dir.filePath("log");
    const QByteArray program = qgetenv("QP_RUNTIME_DIR") + "/quirepress-pdf-server";
    writeFile(launcher, "#!/bin/sh\necho started >> '" + log.toUtf8() +
                            "'\nexec env QP_PDF_SERVER_IDLE_SECONDS=1 '" + program + "'\n");
    QFile::setPermissions(launcher, QFile::ReadOwner | QFile::ExeOwner);
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
    BatchRun(view, prompter, settings, office, starter, server).run();
    EXPECT_EQ(prompter.boxes.size(), 2u); // the Word entry's and the save offer: no other fault
    EXPECT_EQ(fileBytes(newJobs(2).value(1)), fileBytes(corpusFile("pdf/sizes.pdf")));
    EXPECT_EQ(fileBytes(log), "started\nstarted\n");
}

// quirepress --print as scripts, cron and ssh run it, without a display, with fresh home and
// settings folders; PDFs go to the server on the test run's bus or on a bus of the run's own.
// Its exit status, output lines and files printed (none: rendered by LibreOffice), in order.
// A batch file's entries stand as written; a relative PDF entry prints from the working folder.
TEST_F(ServingTest, ShellPrintEndsWithTheStatusScriptsExpect) {
    QTemporaryDir home;
    const QString word = corpusFile("doc/TestChineseProperties.doc");
    const QString slides = corpusFile("ppt/table_test.ppt"), gone = home.filePath("gone.doc");
    const QString pdf = corpusFile("pdf/sizes.pdf"), otherPdf = corpusFile("pdf/XiaoBiaoSong.pdf");
    const QString batch = home.filePath("nightly.QPB"), unreadable = home.filePath("no such.qpb");
    ASSERT_TRUE(QFile::copy(otherPdf, home.filePath("rel.pdf")));
    writeFile(batch, ("\"" + pdf + "\"\r\n\"" + slides + "\"\r\n\"rel.pdf\"\r\n").toUtf8());
    enum Setup { Default, NoPrinter, NoBus };
    const std::tuple<Setup, QStringList, int, QStringList, QStringList> cases[] = {
        {Default,
         {"--print", word, batch, otherPdf},
         0,
         {"[2/5] Preparing " + pdf, "[4/5] Preparing rel.pdf for printing.",
          "5 printed, 0 not printed."},
         {{}, pdf, {}, otherPdf, otherPdf}},
        // What lies in the entry itself, for the office or the PDF server, passes it over.
        {Default,
         {"-p", pdf, gone, locked, otherPdf},
         1,
         {"[2/4] Not printed: " + gone, "[3/4] Not printed: " + locked,
          "2 printed, 2 not printed."},
         {pdf, otherPdf}},
        {Default,
         {"--print", pdf, unreadable},
         2,
         {"quirepress: cannot read the batch file " + unreadable + ": 53 File not found"},
         {}},
        {NoPrinter,
         {"--print", word, pdf},
         2,
         {"quirepress: There is no default printer set up.", "0 printed, 2 not printed."},
         {}},
        {Default, {"--print", "--colour"}, 2, {"quirepress: Unknown option 'colour'."}, {}},
        // Without a session bus PDFs print on a bus of the run's own that ends with it.
        {NoBus, {"--print", pdf, otherPdf}, 0, {"2 printed, 0 not printed."}, {pdf, otherPdf}}};
    QProcessEnvironment shell = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        shell.remove(name);
    shell.insert("XDG_CONFIG_HOME", home.filePath("config"));
    // Whatever a run without a bus started, however detached, carries the mark in its environment.
    const QString mark = QUuid::createUuid().toString();
    QProcessEnvironment noBus = shell;
    noBus.remove("DBUS_SESSION_BUS_ADDRESS");
    noBus.insert("XDG_RUNTIME_DIR", home.path());
    noBus.insert("QP_SHELL_TEST_MARK", mark);
    for (const auto& [setup, arguments, status, lines, printed] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        if (setup == NoPrinter)
            cups->clearDefault();
        QProcess program;
        program.setProcessEnvironment(setup == NoBus ? noBus : shell);
        program.setWorkingDirectory(home.path());
        program.start(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress", arguments);
        EXPECT_TRUE(program.waitForFinished(300000)) << "quirepress did not finish";
        cups->setDefault(queue);
        const QString text = program.readAllStandardError() + program.readAllStandardOutput();
        const int ended = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        EXPECT_EQ(ended, status) << text.toStdString();
        // Each line in the order given, somewhere in the text: "Not printed: ..." goes on with why.
        qsizetype from = 0;
        for (const QString& line : lines) {
            from = text.indexOf(line, from);
            ASSERT_GE(from, 0) << "missing or out of order: " << line.toStdString() << "\nin:\n"
                               << text.toStdString();
        }
        // A run that ended otherwise than expected has failed already: no use waiting for jobs.
        const QStringList jobs = newJobs(printed.size(), ended == status ? 120000 : 0);
        for (qsizetype i = 0; i < std::min(jobs.size(), printed.size()); ++i)
            EXPECT_TRUE(printed[i].isEmpty() ? pdfPages(jobs[i]) == 1
                                             : fileBytes(jobs[i]) == fileBytes(printed[i]))
                << i;
        if (setup == NoBus)
            EXPECT_TRUE(conversationOwner().isEmpty()) << "the server went to the test's own bus";
        for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
            QFile environ("/proc/" + pid + "/environ");
            if (environ.open(QIODevice::ReadOnly))
                EXPECT_FALSE(environ.readAll().contains(mark.toUtf8())) << pid.toStdString();
        }
        endServingProcess();
    }
    EXPECT_FALSE(QFileInfo::exists(home.filePath("config/Quirepress")))
        << "a run from the shell wrote the settings";
}

} // namespace
} // namespace qp::test
