// The batch run with a real office and the private CUPS, through the window and the shell.

#include "OfficeTestSupport.h"
#include "platform/StopSignals.h"
#include "support/EventGapProbe.h"
#include "support/WindowFixture.h"

#include <QDir>
#include <QTest>
#include <csignal>

namespace qp::test {
namespace {

// Whether a process whose command line holds the text runs.
bool processRuns(const QString& text) {
    QProcess pgrep;
    pgrep.start("pgrep", {"-f", text});
    return pgrep.waitForFinished(10000) && pgrep.exitCode() == 0;
}

class OfficeRun : public OfficeSuite {};

// Print Batch in the window, with the real office behind it.
struct RealOfficeWindow : WindowFixture {
    RealOfficeWindow()
        : realWindow(MainWindowServices{prompter, dialogs, settings, real, pdf, pdf, help,
                                        "/opt/quirepress", [this] { ++endProgramCalls; },
                                        dataHome.filePath("BatchBin")}) {}
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

// A close request while the first document is under way asks; No goes on, Yes lets that
// document finish; SIGTERM does as Yes without a question. Then the program ends with no
// office process, no profile and no file of the run.
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
        w->start({fixtures->longDoc(200), fixtures->doc()});
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->real.officeProcessGroup() != 0; }, 60000));
        ASSERT_EQ(leftIn(folders.runtime.path()).size(), 1); // the profile
        const qint64 group = w->real.officeProcessGroup();
        if (bySignal)
            ::raise(SIGTERM);
        else
            for (int close = 0; close < 2; ++close) // No, then Yes
                w->realWindow.close();
        EXPECT_TRUE(w->waitForEnd(180000));
        EXPECT_EQ(w->endProgramCalls, 1);
        EXPECT_EQ(w->prompter.boxes.size(), bySignal ? 0u : 2u);
        QElapsedTimer ending;
        ending.start();
        w.reset();
        EXPECT_LT(ending.elapsed(), 8000) << "the program waited long for LibreOffice";
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
        const QString pipe = QString("quirepress-%1-").arg(program.processId());
        ASSERT_TRUE(QTest::qWaitFor([&] { return processRuns(pipe); }, 120000));
        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(program.exitCode(), status) << program.readAllStandardError().toStdString();
        EXPECT_FALSE(processRuns(pipe)) << "the office runs on";
        EXPECT_EQ(leftIn(folders.runtime.path()) + leftIn(folders.temporary.path()), QStringList());
        ASSERT_LE(cups->jobFiles(queue).size() - jobsBefore, 2);
        jobsBefore = static_cast<int>(cups->jobFiles(queue).size());
    }
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace qp::test
