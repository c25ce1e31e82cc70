// The batch run with a real office and the private CUPS, through the window and the shell.

#include "OfficeTestSupport.h"
#include "platform/StopSignals.h"
#include "support/EventGapProbe.h"
#include "support/WindowFixture.h"

#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <csignal>

namespace qp::test {
namespace {

// The offices the program of that process runs now, oldest first, found by their pipes.
QByteArrayList officesOf(qint64 programPid) {
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", QString("quirepress-%1-").arg(programPid)});
    pgrep.waitForFinished(10000);
    const QByteArray pids = pgrep.readAll().simplified();
    return pids.isEmpty() ? QByteArrayList() : pids.split(' ');
}

class OfficeRun : public OfficeSuite {};

// Print Batch in the window, with the real office behind it.
struct RealOfficeWindow : WindowFixture {
    RealOfficeWindow()
        : realWindow(MainWindowServices{prompter, dialogs, settings, real, pdf, pdf, help,
                                        "/opt/quirepress", [this] { ++endProgramCalls; },
                                        dataHome.filePath("BatchBin")}) {
        // One office, unless a test asks for more: a fault planted in it then shows in the
        // entry under way.
        realSettings.set("Quirepress/Settings/OfficeProcesses", "1");
    }
    void start(const QStringList& entries) {
        realWindow.openFiles(entries);
        realWindow.printBatch();
    }
    bool waitForEnd(int timeoutMs) {
        return QTest::qWaitFor([this] { return !realWindow.isPrinting(); }, timeoutMs);
    }
    FakeSettingsStore realSettings;
    std::unique_ptr<LibreOfficeApplication> office =
        std::make_unique<LibreOfficeApplication>(realSettings);
    LibreOfficeApplication& real = *office;
    MainWindow realWindow;
};

// With two offices kept from a first run, a later document that renders faster still goes
// out after the earlier one, and a workbook's worksheets go out in order.
TEST_F(OfficeRun, PoolOfTwoSendsJobsInListOrder) {
    RealOfficeWindow w;
    w.realSettings.set("Quirepress/Settings/OfficeProcesses", "2");
    w.prompter.script(PromptAnswer::No); // the save offers
    w.prompter.script(PromptAnswer::No);
    int offices = 0;
    const auto run = [&](const QStringList& entries) {
        w.start(entries);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                offices =
                    std::max(offices, int(officesOf(QCoreApplication::applicationPid()).size()));
                return !w.realWindow.isPrinting();
            },
            180000));
    };
    run({fixtures->doc(), fixtures->ppt()});
    EXPECT_EQ(offices, 2);
    newJobs(2);
    run({fixtures->longDoc(2000), fixtures->doc(), fixtures->xls()});
    EXPECT_EQ(pagesAndSheets(newJobs(5)),
              (QStringList{"2000", "2", "1 ALPHA", "1 BETA", "1 GAMMA"}));
}

// After No to a refusal in the middle, or a stop, nothing rendered ahead is sent, and no
// rendered file is left.
TEST_F(OfficeRun, NoOrAStopSendsNothingRenderedAheadAndLeavesNoFile) {
    QTemporaryDir temporary; // where the rendered jobs are kept
    qputenv("TMPDIR", temporary.path().toLocal8Bit());
    const QString refused = fixtures->file("notes.doc", "a line of text\n");
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stop" : "No");
        auto window = std::make_unique<RealOfficeWindow>();
        RealOfficeWindow& w = *window;
        w.realSettings.set("Quirepress/Settings/OfficeProcesses", "2");
        w.prompter.script(stop ? PromptAnswer::Yes : PromptAnswer::No);
        w.start({fixtures->doc(), stop ? fixtures->doc() : refused, fixtures->doc(),
                 fixtures->ppt(), fixtures->doc()});
        if (stop) {
            ASSERT_TRUE(cups->waitForJobs(queue, jobsBefore + 1, 120000));
            w.realWindow.close();
        }
        EXPECT_TRUE(w.waitForEnd(120000));
        ASSERT_EQ(w.prompter.boxes.size(), 1u);
        if (!stop) {
            EXPECT_EQ(w.prompter.boxes[0].text, runtext::unusableEntry(refused));
        }
        QTest::qWait(3000); // for what the offices were rendering at the end
        window.reset();
        const int sent = static_cast<int>(cups->jobFiles(queue).size()) - jobsBefore;
        EXPECT_LE(sent, stop ? 2 : 1) << "the entry under way at the stop, at the most";
        newJobs(stop ? sent : 1);
        QStringList left = QDir(temporary.path()).entryList({"*-??????"}, QDir::Dirs);
        left = left.filter(QRegularExpression("^(?!quirepress-office-)"));
        EXPECT_EQ(left, QStringList())
            << QDir(temporary.filePath(left.value(0))).entryList().join(' ').toStdString();
    }
    qunsetenv("TMPDIR");
}

// CUPS stopped in the middle of a run, as a busy print server is: the window's thread goes on
// handling events, and the run completes once CUPS answers again.
TEST_F(OfficeRun, CupsThatDoesNotAnswerNeverFreezesTheWindow) {
    RealOfficeWindow w;
    w.prompter.script(PromptAnswer::No); // the save offer
    w.start(QStringList(6, fixtures->doc()));
    ASSERT_TRUE(cups->waitForJobs(queue, jobsBefore + 1, 120000));
    ::kill(static_cast<pid_t>(cups->serverPid()), SIGSTOP);
    qint64 longestGap = 0;
    {
        const EventGapProbe gaps;
        QTest::qWait(4000);
        longestGap = gaps.longestMilliseconds();
    }
    ::kill(static_cast<pid_t>(cups->serverPid()), SIGCONT);
    EXPECT_LT(longestGap, 100);
    EXPECT_TRUE(w.waitForEnd(180000));
    EXPECT_TRUE(w.prompter.allAnswersUsed()) << w.journal.join(" | ").toStdString();
    newJobs(6);
}

// What a program of ours leaves in the folder: office profiles and the run's files.
QStringList leftIn(const QString& folder) {
    return QDir(folder).entryList({"quirepress-office-*", "Quirepress-*"},
                                  QDir::Dirs | QDir::Files | QDir::Hidden);
}

// Temporary folders of their own for the programs under test; the profile goes to the
// runtime folder.
struct OwnFolders {
    OwnFolders() {
        qputenv("TMPDIR", temporary.path().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    ~OwnFolders() { qunsetenv("TMPDIR"); }
    QTemporaryDir temporary, runtime;
};

// A close request while the second document is under way asks; No goes on, and Yes with a hung
// office ends the program within seconds; SIGTERM does as Yes without a question. Then the
// program ends with no office process, no profile and no file of the run.
TEST_F(OfficeRun, CloseOrSigtermDuringARunEndsTheProgramCleanly) {
    for (const bool bySignal : {false, true}) {
        const OwnFolders folders;
        auto w = std::make_unique<RealOfficeWindow>();
        StopSignals stopSignals; // as the program has them
        QObject::connect(&stopSignals, &StopSignals::received, &w->realWindow,
                         &MainWindow::endWithoutAsking);
        if (!bySignal) {
            w->prompter.script(PromptAnswer::No);
            w->prompter.script(PromptAnswer::Yes);
        }
        const QString longDoc = fixtures->longDoc(200);
        w->start({fixtures->doc(), longDoc, fixtures->doc()});
        auto* status = w->realWindow.findChild<QWidget*>("statusBar")->findChild<QLabel*>();
        ASSERT_TRUE(QTest::qWaitFor([&] { return status->text().contains(longDoc); }, 120000));
        ASSERT_EQ(leftIn(folders.runtime.path()).size(), 1); // the profile
        const qint64 group = w->real.officeProcessGroup();
        ::kill(-static_cast<pid_t>(group), SIGSTOP); // hung: the stop must not wait it out
        QElapsedTimer ending;
        ending.start();
        if (bySignal)
            ::raise(SIGTERM);
        else
            for (int close = 0; close < 2; ++close) // No, then Yes
                w->realWindow.close();
        EXPECT_TRUE(w->waitForEnd(180000));
        EXPECT_EQ(w->endProgramCalls, 1);
        EXPECT_EQ(w->prompter.boxes.size(), bySignal ? 0u : 2u);
        w.reset();
        EXPECT_LT(ending.elapsed(), 10000) << "the stop waited for the hung office";
        EXPECT_NE(::kill(-static_cast<pid_t>(group), 0), 0) << "the office outlived the program";
        EXPECT_EQ(leftIn(folders.runtime.path()) + leftIn(folders.temporary.path()), QStringList());
        newJobs(1);
    }
}

// quirepress interrupted while its office runs: the shell run lets the entry under way finish
// and ends with status 2; the window, with no run, ends at once. Nothing of either runs on or
// stays behind.
TEST_F(OfficeRun, AnInterruptedProgramEndsCleanly) {
    const OwnFolders folders;
    QTemporaryDir config; // no first-run question in the window
    QDir(config.path()).mkpath("Quirepress");
    writeFile(config.filePath("Quirepress/Quirepress.conf"), "[Settings]\nAcroCancelled=1\n");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QStringList shell{"--print", fixtures->doc(), fixtures->doc(), fixtures->doc()};
    const QStringList window{fixtures->doc()}; // an office started ahead for the list
    for (const auto& [arguments, signal, status] :
         std::vector<std::tuple<QStringList, int, int>>{{shell, SIGINT, 2},
                                                        {shell, SIGTERM, 2},
                                                        {shell, SIGHUP, 2},
                                                        {window, SIGTERM, 0},
                                                        {window, SIGINT, 0},
                                                        {window, SIGHUP, 0}}) {
        QProcess program;
        program.start(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress", arguments);
        const qint64 pid = program.processId();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !officesOf(pid).isEmpty(); }, 120000));
        ::kill(static_cast<pid_t>(pid), signal);
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(program.exitCode(), status) << program.readAllStandardError().toStdString();
        EXPECT_EQ(officesOf(pid), QByteArrayList()) << "the office runs on";
        EXPECT_EQ(leftIn(folders.runtime.path()) + leftIn(folders.temporary.path()), QStringList());
        ASSERT_LE(cups->jobFiles(queue).size() - jobsBefore, 2);
        jobsBefore = static_cast<int>(cups->jobFiles(queue).size());
    }
    qunsetenv("XDG_CONFIG_HOME");
}

// Stops the office, so that it is held in the call under way, then signals it.
void killMidCall(qint64 group, int signal) {
    ::kill(-static_cast<pid_t>(group), SIGSTOP);
    QTest::qWait(300);
    ::kill(-static_cast<pid_t>(group), signal);
}

// A document that takes its office with it is one that cannot be printed: the window asks
// whether to go on, and Yes prints the rest, rendered by the other office of the pool and a
// fresh one.
TEST_F(OfficeRun, OfficeKilledMidDocumentFailsOnlyItsEntryInAPoolOfTwo) {
    RealOfficeWindow w;
    w.realSettings.set("Quirepress/Settings/OfficeProcesses", "2");
    w.prompter.script(PromptAnswer::No); // the first run's save offer
    w.start({fixtures->doc(), fixtures->ppt()});
    ASSERT_TRUE(w.waitForEnd(120000));
    newJobs(2);
    // The first office, idle now, hangs in the first call of the next run; the other one
    // renders ahead meanwhile.
    const qint64 first = w.real.officeProcessGroup();
    ASSERT_GT(first, 0);
    ::kill(-static_cast<pid_t>(first), SIGSTOP);
    w.prompter.script(PromptAnswer::Yes); // go on after the first document
    w.prompter.script(PromptAnswer::No);
    const QString hanging = fixtures->longDoc(20);
    w.start({hanging, fixtures->doc(), fixtures->ppt(), fixtures->doc()});
    QTest::qWait(3000);
    ::kill(-static_cast<pid_t>(first), SIGKILL);
    EXPECT_TRUE(w.waitForEnd(180000));
    ASSERT_EQ(w.prompter.boxes.size(), 3u);
    EXPECT_EQ(w.prompter.boxes[1].text,
              hanging + " is not a valid file.  Do you wish to continue?");
    EXPECT_TRUE(w.prompter.boxes[1].detail.contains("LibreOffice ended unexpectedly"))
        << w.prompter.boxes[1].detail.toStdString();
    newJobs(3);
}

// quirepress --print: an office killed mid-document fails that entry only (exit 1); an
// interrupt ends the run with status 2 within seconds, also with a hung office, and nothing
// of it runs on.
TEST_F(OfficeRun, ShellRunSurvivesAKilledOfficeAndAnInterruptEndsIt) {
    const QString longDoc = fixtures->longDoc(200);
    QTemporaryDir config;
    QDir(config.path()).mkdir("Quirepress");
    writeFile(config.filePath("Quirepress/Quirepress.conf"), "[Settings]\nOfficeProcesses=1\n");
    for (const int signal : {SIGKILL, SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", config.path());
        run.setProcessEnvironment(environment);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress",
                  {"--print", fixtures->doc(), longDoc, fixtures->doc()});
        QByteArray output;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                output += run.readAll();
                return output.contains("[2/3]") || run.state() == QProcess::NotRunning;
            },
            120000));
        const qint64 pid = run.processId();
        const auto group = static_cast<pid_t>(officesOf(pid).value(0).toLongLong());
        ASSERT_GT(group, 0) << output.toStdString();
        // Hung in the long document: the stop must not wait it out.
        killMidCall(group, signal == SIGKILL ? SIGKILL : SIGSTOP);
        if (signal != SIGKILL)
            ::kill(static_cast<pid_t>(pid), signal);
        QElapsedTimer ending;
        ending.start();
        if (signal == SIGTERM) {
            // A second one ends the run at once; sent at once, the two could merge into one.
            QTest::qWait(300);
            ::kill(static_cast<pid_t>(pid), signal);
        }
        ASSERT_TRUE(run.waitForFinished(120000));
        output += run.readAll();
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.exitCode(), signal == SIGKILL ? 1 : 2) << output.toStdString();
        if (signal == SIGKILL) {
            EXPECT_TRUE(output.contains("[2/3] Not printed: " + longDoc.toUtf8() +
                                        ": LibreOffice ended unexpectedly"))
                << output.toStdString();
            EXPECT_TRUE(output.contains("2 printed, 1 not printed.")) << output.toStdString();
            newJobs(2);
        } else {
            EXPECT_LT(ending.elapsed(), signal == SIGTERM ? 2700 : 10000)
                << "the stop waited for the hung office";
            newJobs(1);
        }
        EXPECT_EQ(officesOf(pid), QByteArrayList()) << "the office runs on";
    }
}

} // namespace
} // namespace qp::test
