// quirepress --watch as a service runs it: the real program with the real office, the real PDF
// print server on the test's bus and a private CUPS server.

#include "SessionServer.h"
#include "app/SettlingFiles.h"
#include "app/WatchJournal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QUuid>
#include <iostream>
#include <thread>

namespace qp::test {
namespace {

// The running watch; whatever it starts carries the mark in its environment.
struct Watch : QProcess {
    Watch(const QString& folder, const QStringList& environment = {}) {
        QProcessEnvironment shell = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            shell.remove(name);
        shell.insert("XDG_CONFIG_HOME", home.path());
        shell.insert("QP_SHELL_TEST_MARK", mark);
        for (const QString& setting : environment)
            shell.insert(setting.section('=', 0, 0), setting.section('=', 1));
        setProcessEnvironment(shell);
        start(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress",
              {"--watch", folder, "--settle", "1", "--report", home.filePath("watch.jsonl")});
    }
    ~Watch() override {
        kill();
        waitForFinished(10000);
    }
    // SIGTERM; the exit status, -1 after a crash or when it does not end.
    int terminate() {
        ::kill(static_cast<pid_t>(processId()), SIGTERM);
        return waitForFinished(60000) && exitStatus() == NormalExit ? exitCode() : -1;
    }
    QString err() { return text += readAllStandardError(); }
    bool officeRuns() const { return markedProcessRuns(mark, "soffice"); }
    QTemporaryDir home;
    const QString mark = QUuid::createUuid().toString();
    QString text;
};

QStringList names(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

using WatchTest = ServingTest;

// A file goes out once it has stayed unchanged and unwritten for the settle time (1000 here),
// and again only with new content under the same name, which the journal takes for a new file.
TEST(WatchLogic, NewContentUnderAnOldNameIsANewFile) {
    SettlingFiles settling(1000);
    const FileStamp first{10, 1}, second{20, 2};
    const std::tuple<qint64, QList<FileLook>, QStringList> looks[] = {
        {0, {{"b", first}, {"a", first, true}}, {}},
        {900, {{"b", second}, {"a", first, true}}, {}},
        {1500, {{"b", second}, {"a", first}}, {}},         // b changed at 900, a written until 900
        {1900, {{"b", second}, {"a", first}}, {"b", "a"}}, // in order of arrival
        {5000, {{"b", second}, {"a", second}}, {}},
        {6000, {{"b", second}, {"a", second}}, {"a"}}};
    for (const auto& [now, files, out] : looks)
        EXPECT_EQ(settling.look(files, now), out) << now;

    QTemporaryDir dir;
    WatchJournal(dir.filePath("journal")).record("a.pdf", {first, WatchJournal::State::Sent});
    WatchJournal journal(dir.filePath("journal"));
    ASSERT_EQ(journal.load(), QString());
    EXPECT_EQ(journal.find("a.pdf", first)->state, WatchJournal::State::Sent);
    EXPECT_FALSE(journal.find("a.pdf", second));
}

// Files there at the start and files dropped later each print once and whole: one copied in
// two halves 4 s apart waits for its writer; a damaged one goes to Failed/ and is named; a
// name taken in Printed/ gets a number. The office goes after its idle time and comes back;
// SIGTERM ends the watch with 0 and leaves no office.
TEST_F(WatchTest, DroppedFilesPrintOnceWholeAndTheWatchEndsClean) {
    QTemporaryDir dir;
    const QString pdf = corpusFile("pdf/sizes.pdf"),
                  word = corpusFile("doc/TestChineseProperties.doc");
    writeFile(dir.filePath("Printed/early.pdf"), "printed last week");
    ASSERT_TRUE(QFile::copy(pdf, dir.filePath("early.pdf")));
    Watch watch(dir.path(), {"QP_WATCH_OFFICE_IDLE_SECONDS=6"});
    EXPECT_EQ(fileBytes(newJobs(1).value(0)), fileBytes(pdf));

    ASSERT_TRUE(QFile::copy(word, dir.filePath("letter.doc")));
    writeFile(dir.filePath("damaged.pdf"), "%PDF-1.4\n1 0 obj << /Type /Catalog >> garbage");
    const QByteArray whole = fileBytes(corpusFile("pdf/rotation.pdf"));
    QFile slow(dir.filePath("slow.pdf"));
    ASSERT_TRUE(slow.open(QIODevice::WriteOnly));
    slow.write(whole.left(whole.size() / 2));
    slow.flush();
    std::this_thread::sleep_for(std::chrono::seconds(4));
    slow.write(whole.mid(whole.size() / 2));
    slow.close();
    const QStringList jobs = newJobs(2, 120000);
    EXPECT_EQ(pdfPages(jobs.value(0)), 1); // the letter, rendered
    EXPECT_EQ(fileBytes(jobs.value(1)), whole);
    ASSERT_TRUE(
        waitUntil([&] { return names(dir.path()) == QStringList{".quirepress-journal"}; }, 30000))
        << names(dir.path()).join(' ').toStdString() << watch.err().toStdString();
    EXPECT_EQ(names(dir.filePath("Printed")),
              (QStringList{"early (2).pdf", "early.pdf", "letter.doc", "slow.pdf"}));
    EXPECT_EQ(fileBytes(dir.filePath("Printed/early.pdf")), "printed last week");
    EXPECT_EQ(names(dir.filePath("Failed")), QStringList{"damaged.pdf"});
    EXPECT_TRUE(watch.err().contains(
        QRegularExpression("Not printed: " + dir.filePath("damaged.pdf") + ": .+\n")))
        << watch.text.toStdString();
    EXPECT_TRUE(QString(fileBytes(watch.home.filePath("watch.jsonl")))
                    .contains(QRegularExpression("\"file\":\"" + dir.filePath("damaged.pdf") +
                                                 "\",.*\"reason\":\"[^\"]+\",.*\"state\":"
                                                 "\"not-printed\"")));

    EXPECT_TRUE(waitUntil([&] { return !watch.officeRuns(); }, 30000)) << "the idle office stays";
    ASSERT_TRUE(QFile::copy(word, dir.filePath("again.doc")));
    newJobs(1, 120000);
    EXPECT_TRUE(watch.officeRuns());
    EXPECT_EQ(watch.terminate(), 0) << watch.err().toStdString();
    EXPECT_FALSE(watch.officeRuns()) << "the office outlived the watch";
}

// A crash between sending and moving does not print again after a restart, which prints what
// was dropped while no watch ran; a hundred files dropped at once print once each, in order.
TEST_F(WatchTest, NothingPrintsTwiceAcrossACrashAndAHundredFilesPrintOnceEach) {
    QTemporaryDir dir;
    const QString pdf = corpusFile("pdf/XiaoBiaoSong.pdf");
    {
        Watch crashing(dir.path(), {"QP_WATCH_TEST_CRASH_AFTER_SEND=1"});
        ASSERT_TRUE(QFile::copy(pdf, dir.filePath("sent.pdf")));
        EXPECT_TRUE(crashing.waitForFinished(60000));
        EXPECT_EQ(crashing.exitStatus(), QProcess::CrashExit) << crashing.err().toStdString();
        newJobs(1);
    }
    ASSERT_TRUE(QFile::copy(pdf, dir.filePath("meanwhile.pdf")));
    Watch watch(dir.path());
    EXPECT_EQ(cups->jobAttributes(newJobs(1).value(0)).value("job-name"), "meanwhile.pdf");
    EXPECT_TRUE(waitUntil([&] { return names(dir.filePath("Printed")).size() == 2; }, 20000))
        << watch.err().toStdString();

    QElapsedTimer elapsed;
    elapsed.start();
    for (int i = 1; i <= 100; ++i)
        ASSERT_TRUE(QFile::copy(pdf, dir.filePath(QString("f%1.pdf").arg(i))));
    const QStringList jobs = newJobs(100, 240000);
    std::cout << "100 files dropped at once printed in " << elapsed.elapsed() << " ms\n";
    for (qsizetype i = 0; i < jobs.size(); i += 33)
        EXPECT_EQ(cups->jobAttributes(jobs[i]).value("job-name"), QString("f%1.pdf").arg(i + 1));
    EXPECT_TRUE(waitUntil([&] { return names(dir.filePath("Printed")).size() == 102; }, 30000));
    EXPECT_EQ(watch.terminate(), 0) << watch.err().toStdString();
    newJobs(0, 0);
}

} // namespace
} // namespace qp::test
