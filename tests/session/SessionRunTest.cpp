// quirepress --print with the real PDF print server on the session bus and a private CUPS
// server.

#include "SessionServer.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "printing/BatchRun.h"
#include "printing/PromptedRunReport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QUuid>

namespace qp::test {
namespace {

std::tuple<int, QString, QString>
runQuirepress(const QStringList& arguments,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
              const QString& folder = {}) {
    return runProgram(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress", arguments, folder,
                      environment);
}

// PDFs alone without a default printer end as Office entries do, told as soon as the server
// the run starts takes its name, not after a pause between attempts to reach it (made a
// minute, so that waiting one out shows). The run has the real server and starter.
TEST_F(ServingTest, TheFirstPdfReachesTheServerAsSoonAsItTakesItsName) {
    ListRunView view;
    view.entries = {corpusFile("pdf/sizes.pdf")};
    FakePrompter prompter;
    PromptedRunReport report{prompter};
    FakeSettingsStore settings;
    settings.set("Quirepress/Settings/Acrobat",
                 qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress-pdf-server");
    QStringList journal;
    FakeOffice office{journal};
    QProcessProgramStarter starter;
    DBusPdfPrintServer server;
    BatchRun batch{view, report, settings, office, starter, server};
    batch.pdfPrinter().setAnswerRetryPause(std::chrono::minutes(1));
    prompter.script(PromptAnswer::Ok);
    cups->clearDefault();
    QElapsedTimer elapsed;
    elapsed.start();
    QSignalSpy finished(&batch, &BatchRun::finished);
    batch.start();
    EXPECT_TRUE(!batch.isRunning() || finished.wait(120000)) << "the run did not end";
    EXPECT_LT(elapsed.elapsed(), 20000);
    cups->setDefault(queue);
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].title, "No default printer...");
    endServingProcess();
}

// quirepress --print as scripts, cron and ssh run it: no display, fresh home and settings, the
// test's bus or none. Exit status, output lines and jobs in order (none: rendered by LibreOffice).
// A stored program that ends without answering is told at once; the settings stay as they are.
TEST_F(ServingTest, ShellPrintEndsWithTheStatusScriptsExpect) {
    QTemporaryDir home;
    const QString word = corpusFile("doc/TestChineseProperties.doc");
    const QString slides = corpusFile("ppt/table_test.ppt"), gone = home.filePath("gone.doc");
    const QString pdf = corpusFile("pdf/sizes.pdf"), otherPdf = corpusFile("pdf/XiaoBiaoSong.pdf");
    const QString batch = home.filePath("nightly.QPB"), unreadable = home.filePath("no such.qpb");
    ASSERT_TRUE(QFile::copy(otherPdf, home.filePath("rel.pdf")));
    writeFile(batch, ("\"" + pdf + "\"\r\n\"" + slides + "\"\r\n\"rel.pdf\"\r\n").toUtf8());
    const QString settings = home.filePath("config/Quirepress/Quirepress.conf");
    const QByteArray stored = "[Settings]\nAcrobat=/bin/true\n";
    enum Setup { Default, NoPrinter, NoBus, WrongProgram };
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
         {"quirepress: There is no default printer set up."},
         {}},
        // The PDF print server has no default of its own either.
        {NoPrinter, {"--print", pdf}, 2, {"quirepress: There is no default printer set up."}, {}},
        {Default, {"--print", "--colour"}, 2, {"quirepress: Unknown option 'colour'."}, {}},
        // Without a session bus PDFs print on a bus of the run's own that ends with it.
        {NoBus, {"--print", pdf, otherPdf}, 0, {"2 printed, 0 not printed."}, {pdf, otherPdf}},
        {WrongProgram, {"--print", pdf}, 2, {"quirepress: There was a problem with finding"}, {}}};
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
        if (setup == WrongProgram) {
            ASSERT_FALSE(QFileInfo::exists(settings)) << "a run from the shell wrote the settings";
            writeFile(settings, stored);
        }
        QElapsedTimer took;
        took.start();
        const auto [ended, out, err] =
            runQuirepress(arguments, setup == NoBus ? noBus : shell, home.path());
        EXPECT_TRUE(setup != WrongProgram || took.elapsed() < 2000) << took.elapsed();
        cups->setDefault(queue);
        const QString text = err + out;
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
        if (setup == NoBus) {
            EXPECT_TRUE(conversationOwner().isEmpty()) << "the server went to the test's own bus";
        }
        EXPECT_FALSE(markedProcessRuns(mark)) << "a process of the run outlived it";
        endServingProcess();
    }
    EXPECT_EQ(fileBytes(settings), stored) << "a run from the shell wrote the settings";
}

// A folder of what LibreOffice itself makes of the corpus, endings in any case, printed with -r
// and lp's options: one job a document (a workbook's worksheets each), in the order of the names,
// each carrying the options; --dry-run lists the same jobs with the pages of them CUPS prints, and
// totals that take the page list, copies and sides in. What CUPS refuses ends the run at once.
TEST_F(ServingTest, FolderOfEveryFormatPrintsAsItsDryRunCounts) {
    QTemporaryDir dir, made;
    QDir().mkpath(dir.filePath("sub"));
    const QString word = corpusFile("doc/au.edu.utas.www___data_assets_word_doc_0003_154335_"
                                    "International-Travel-Approval-Request-Form.doc");
    const QString book = corpusFile("xls/excel4_sample_macro.xls");
    const QString slides = corpusFile("ppt/60003.ppt");
    const std::tuple<QString, QString, QString> files[] = {
        {word, "", "1.doc"},       {word, "docx", "2.DOCX"},
        {word, "odt", "3.odt"},    {corpusFile("pdf/tracemonkey.pdf"), "", "4.pdf"},
        {book, "", "5.xls"},       {book, "xlsx", "6.xlsx"},
        {book, "ods", "7.Ods"},    {slides, "pptx", "8.pptx"},
        {slides, "odp", "9.odp"},  {word, "rtf", "10.rtf"},
        {slides, "", "sub/1.ppt"}, {corpusFile("pdf/sizes.pdf"), "", "sub/2.pdf"}};
    QStringList names;
    for (const auto& [source, format, name] : files) {
        QString from = source;
        if (!format.isEmpty()) {
            ASSERT_EQ(std::get<0>(runProgram(
                          "soffice",
                          {"-env:UserInstallation=file://" + made.filePath("profile"), "--headless",
                           "--convert-to", format, "--outdir", made.path(), source})),
                      0);
            from = made.filePath(QFileInfo(source).completeBaseName() + "." + format);
        }
        ASSERT_TRUE(QFile::copy(from, dir.filePath(name))) << name.toStdString();
        names << dir.filePath(name);
    }
    writeFile(dir.filePath("notes.txt"), "not printed");
    QStringList expected; // each job's file and worksheet
    for (const QString& name : names)
        expected << name + "\t";
    expected[4] += "sheet 1";
    expected.insert(5, names[4] + "\tsheet 2");
    const QStringList options = {"-d", queue, "-n", "2", "-o", "sides=two-sided-long-edge",
                                 "-P", "1-3"};
    // Every job as printing sends it: CUPS keeps the whole file, and the options with it.
    auto [status, out, err] =
        runQuirepress(QStringList{"--print", "-r"} + options + QStringList{dir.path()});
    EXPECT_EQ(status, 0) << err.toStdString();
    const QStringList jobs = newJobs(static_cast<int>(expected.size()), 300000);
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        const QMap<QString, QString> job = cups->jobAttributes(jobs[i]);
        EXPECT_EQ(job.value("job-name"), QFileInfo(expected[i].section('\t', 0, 0)).fileName());
        EXPECT_EQ(
            QStringList({job.value("copies"), job.value("sides"), job.value("page-ranges"),
                         job.value("multiple-document-handling")}),
            QStringList({"2", "two-sided-long-edge", "1-3", "separate-documents-collated-copies"}));
    }
    EXPECT_NE(pdfText(jobs.value(4)), pdfText(jobs.value(5))) << "one worksheet each";

    // Without -r the folder's own files; each job's first three pages, twice, on both sides.
    std::tie(status, out, err) =
        runQuirepress(QStringList{"--dry-run"} + options + QStringList{dir.path()});
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), expected.size() - 1) << out.toStdString() << err.toStdString();
    int pages = 0, paper = 0;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QStringList fields = lines[i].split('\t');
        const int printed = std::min(pdfPages(jobs.value(i)), 3);
        EXPECT_EQ(fields.mid(0, 2).join('\t'), expected[i]);
        EXPECT_EQ(fields.mid(2, 2).join('\t'), queue + "\tsides=two-sided-long-edge copies=2 "
                                                       "multiple-document-handling=separate-"
                                                       "documents-collated-copies page-ranges=1-3");
        EXPECT_EQ(fields.value(4).toInt(), printed) << i;
        pages += printed;
        paper += 2 * ((printed + 1) / 2);
    }
    EXPECT_EQ(lines.last().split('\t'),
              QStringList({"total", QString("%1 jobs").arg(lines.size() - 1),
                           QString("%1 sheets").arg(paper), QString("%1 pages").arg(pages)}));
    for (const auto& [refused, words] :
         {std::pair{QStringList{"-d", "nowhere"}, QString("\"nowhere\" does not exist")},
          {QStringList{"-o", "number-up=3"}, QString("number-up")},
          {QStringList{"-P", "5-2"}, QString("page-ranges")}}) {
        std::tie(status, out, err) =
            runQuirepress(QStringList{"--print"} + refused + QStringList{dir.path()});
        EXPECT_EQ(status, 2);
        EXPECT_TRUE(err.startsWith("quirepress: ") && err.contains(words)) << err.toStdString();
    }
    newJobs(0);
}

// --wait follows each job to its end in CUPS: completed on a queue that prints, aborted on one
// whose printer fails every job (exit 1), and waited for while a printer is stopped; Ctrl+C ends
// that wait with exit 2. --report writes the same as JSON Lines, job ids as CUPS has them.
TEST_F(ServingTest, WaitFollowsEachJobToItsEndAndTheReportSaysSo) {
    QTemporaryDir dir;
    const QString pdf = corpusFile("pdf/sizes.pdf"), gone = dir.filePath("gone.doc");
    const QString word = corpusFile("doc/TestChineseProperties.doc");
    const QString report = dir.filePath("run.jsonl");
    cups->addFailingQueue("failing");
    auto [status, out, err] =
        runQuirepress({"--print", "--wait", "--report", report, "-o", "media=A4", pdf, gone, word});
    EXPECT_EQ(status, 1) << err.toStdString();
    const QStringList kept = newJobs(2);
    const auto id = [&](int i) { return QFileInfo(kept.value(i)).baseName().toInt(); };
    EXPECT_TRUE(
        err.contains(QString("[1/3] %1: completed, job %2-%3, ").arg(pdf, queue).arg(id(0))) &&
        err.contains("[3/3] " + word + ": completed") &&
        err.endsWith("2 printed, 1 not printed.\n"))
        << err.toStdString();
    // Each line as soon as it is known: the entry passed over may come before the first job.
    QMap<QString, QJsonObject> byFile;
    for (const QByteArray& line : fileBytes(report).trimmed().split('\n'))
        byFile.insert(QJsonDocument::fromJson(line).object().value("file").toString("summary"),
                      QJsonDocument::fromJson(line).object());
    ASSERT_EQ(byFile.size(), 4) << fileBytes(report).toStdString();
    for (const auto& [file, job, state, pages] :
         {std::tuple{pdf, QJsonValue(id(0)), "completed", pdfPages(kept.value(0))},
          {gone, QJsonValue(), "not-printed", -1},
          {word, QJsonValue(id(1)), "completed", pdfPages(kept.value(1))}}) {
        const QJsonObject line = byFile[file];
        EXPECT_EQ(line["job"], job);
        EXPECT_EQ(line["state"].toString(), state);
        EXPECT_EQ(line["pages"].toInt(-1), pages);
        EXPECT_EQ(line["reason"].isNull(), job.isDouble());
        EXPECT_TRUE(
            line["worksheet"].isNull() && line["destination"] == queue &&
            line["options"].toArray() == QJsonArray{"media=A4"} &&
            QDateTime::fromString(line["started"].toString(), Qt::ISODateWithMs).isValid() &&
            QDateTime::fromString(line["ended"].toString(), Qt::ISODateWithMs).isValid())
            << QJsonDocument(line).toJson().toStdString();
    }
    const QJsonObject summary = byFile["summary"];
    EXPECT_TRUE(summary["printed"] == 2 && summary["completed"] == 2 && summary["exitStatus"] == 1)
        << QJsonDocument(summary).toJson().toStdString();

    std::tie(status, out, err) =
        runQuirepress({"--print", "--wait", "--report", "-", "-d", "failing", pdf});
    EXPECT_EQ(status, 1) << err.toStdString();
    EXPECT_TRUE(err.contains("[1/1] " + pdf + ": aborted: ") &&
                err.contains("0 printed, 1 not printed.") && out.contains("\"state\":\"aborted\""))
        << err.toStdString();

    // Stopped: told once and waited for, until Ctrl+C, which leaves the job queued.
    cups->setEnabled(queue, false, "out of paper");
    QProcess waiting;
    waiting.start(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress",
                  {"--print", "--wait", pdf});
    QString told;
    const QString stopped = "quirepress: printer " + queue + " stopped: out of paper";
    EXPECT_TRUE(waitUntil(
        [&] { return (told += waiting.readAllStandardError()).contains(stopped); }, 60000))
        << told.toStdString();
    ::kill(static_cast<pid_t>(waiting.processId()), SIGINT);
    EXPECT_TRUE(waiting.waitForFinished(60000));
    told += waiting.readAllStandardError();
    EXPECT_EQ(told.count(stopped), 1) << told.toStdString();
    EXPECT_EQ(waiting.exitCode(), 2) << told.toStdString();
    EXPECT_EQ(cups->pendingJobs(queue), 1);
    cups->setEnabled(queue, true);
    newJobs(1);
}

// The run settles its destination in its own environment and hands it to every job: a PDF
// print server started under one PRINTER prints the next run's PDF where that run's PRINTER
// says. An instance's own lpoptions reach its jobs, as CUPS reads them back.
TEST_F(ServingTest, EveryJobGoesWhereTheRunSettledWithTheInstancesOptions) {
    cups->addKeepingQueue("second", false);
    const QString pdf = corpusFile("pdf/sizes.pdf"),
                  word = corpusFile("doc/TestChineseProperties.doc");
    qputenv("PRINTER", queue.toUtf8());
    PdfServerProcess server;
    server.startServing();
    qputenv("PRINTER", "second");
    auto [status, out, err] = runQuirepress({"--print", pdf});
    qunsetenv("PRINTER");
    EXPECT_EQ(status, 0) << err.toStdString();
    EXPECT_TRUE(cups->waitForJobs("second", 1, 60000));
    EXPECT_EQ(cups->jobFiles("second").size(), 1);

    runTool("lpoptions", {"-p", queue + "/duplex", "-o", "sides=two-sided-long-edge"});
    std::tie(status, out, err) = runQuirepress({"--print", "-d", queue + "/duplex", pdf, word});
    EXPECT_EQ(status, 0) << err.toStdString();
    for (const QString& job : newJobs(2))
        EXPECT_EQ(cups->jobAttributes(job).value("sides"), "two-sided-long-edge");
}

} // namespace
} // namespace qp::test
