// A killed or hung LibreOffice fails one entry, never the program, and is started again.

#include "OfficeTestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <csignal>

namespace qp::test {
namespace {

using namespace std::chrono_literals;

// Never group 0, which would be the test's own; signal 0 only asks whether the group exists.
bool signalGroup(qint64 group, int signal) {
    return group > 0 && ::kill(-static_cast<pid_t>(group), signal) == 0;
}

// Kills the office between two calls, and waits until it has died, without an event loop
// that would tell its QProcess: the next call must find out by itself.
bool killBetweenCalls(qint64 group) {
    const auto dead = [group] {
        QFile stat(QString("/proc/%1/stat").arg(group));
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().split(' ').value(2) == "Z";
    };
    if (!signalGroup(group, SIGKILL))
        return false;
    for (int look = 0; look < 500 && !dead(); ++look)
        QThread::msleep(10);
    return dead();
}

// Each test starts an office of its own, as it kills or stops it.
class OfficeFaults : public OfficeSuite {
protected:
    // Prints the Word fixture, as the next entry of a run would.
    void printNextEntry() {
        own->open(fixtures->doc())->print();
        sendJobs(*own);
        newJobs(1);
    }

    FakeSettingsStore ownSettings;
    std::unique_ptr<LibreOfficeApplication> own =
        std::make_unique<LibreOfficeApplication>(ownSettings);
};

// Hand-edited values stay within sane ranges; what is not a positive number is the default.
// They are read when a run begins, and so is how many offices it uses.
TEST_F(OfficeFaults, CallBoundOfficeLimitsAndCountComeFromTheSettingsAtTheRunsStart) {
    const std::tuple<const char*, qint64, std::chrono::milliseconds> cases[] = {
        {"", 1000, 180s}, {" 5 ", 1000, 5s}, {"5", 25 * 1024 * 1024, 15s},
        {"0.5", 0, 1s},   {"-3", 0, 180s},   {"0", 0, 180s},
        {"nan", 0, 180s}, {"1e300", 0, 24h}, {"80000", 25 * 1024 * 1024, 80000s}};
    for (const auto& [setting, fileSize, bound] : cases) {
        ownSettings.set("Quirepress/Settings/OfficeTimeout", setting);
        ownSettings.set("Quirepress/Settings/OfficeMaxDocuments", setting);
        ownSettings.set("Quirepress/Settings/OfficeMaxMemory", setting);
        own->beginRun();
        EXPECT_EQ(own->callBound(fileSize), bound) << setting;
        const auto limits = own->officeLimits();
        EXPECT_TRUE(limits.documents >= 1 && limits.megabytes >= 64) << setting;
    }
    ownSettings.set("Quirepress/Settings/OfficeMaxDocuments", "7");
    ownSettings.set("Quirepress/Settings/OfficeMaxMemory", "3000");
    EXPECT_EQ(own->officeLimits(), (LibreOfficeApplication::Limits{80000, 80000})) << "read before";
    own->beginRun();
    EXPECT_EQ(own->officeLimits(), (LibreOfficeApplication::Limits{7, 3000}));
    // Offices: the setting, else the cores up to four, within half the memory available.
    for (const auto& [setting, cores, megabytes, offices] : {std::tuple{"", 2, 24000, 2},
                                                             {"", 16, 24000, 4},
                                                             {"", 8, 12000, 2},
                                                             {"", 8, 1000, 1},
                                                             {"3", 2, 1000, 3}}) {
        ownSettings.set("Quirepress/Settings/OfficeProcesses", setting);
        own->beginRun();
        EXPECT_EQ(own->officeCount(cores, megabytes), offices) << setting << cores << megabytes;
    }
    ownSettings.failReads = true;
    own->beginRun();
    EXPECT_EQ(own->callBound(0), 180s);
    EXPECT_EQ(own->officeLimits(), LibreOfficeApplication::DefaultLimits);
    EXPECT_EQ(own->officeProcessGroup(), 0) << "started an office for none of this";
}

// A worn office is replaced between two entries, never between a workbook's sheets, and
// nothing of it shows: every call goes through and the old office is gone.
TEST_F(OfficeFaults, OfficeIsReplacedAfterItsDocumentsOrAtItsMemoryLimit) {
    ownSettings.set("Quirepress/Settings/OfficeMaxDocuments", "2");
    own->beginRun();
    QList<qint64> groups; // the office of each entry, of each worksheet too
    for (const QString& path :
         {fixtures->doc(), fixtures->ppt(), fixtures->xls(), fixtures->doc(), fixtures->ppt()}) {
        auto document = own->open(path);
        for (int sheet = 1; sheet <= 3; ++sheet) {
            path == fixtures->xls() ? document->printSheet(sheet) : document->print();
            groups << own->officeProcessGroup();
            if (path != fixtures->xls())
                break;
        }
    }
    sendJobs(*own);
    newJobs(7);
    EXPECT_EQ(QSet<qint64>(groups.begin(), groups.end()).size(), 3);
    EXPECT_EQ(groups.mid(2, 4), QList<qint64>(4, groups[2])) << "replaced within the workbook";
    EXPECT_TRUE(groups[0] == groups[1] && groups[5] != groups[6] && !signalGroup(groups[0], 0));

    // Every office that has loaded a document holds more than the least memory limit; it is
    // replaced only once none of its documents is open.
    ownSettings.set("Quirepress/Settings/OfficeMaxDocuments", "");
    ownSettings.set("Quirepress/Settings/OfficeMaxMemory", "1");
    own->beginRun();
    auto held = own->open(fixtures->doc());
    const qint64 group = own->officeProcessGroup();
    EXPECT_NE(group, groups.back());
    printNextEntry();
    held->print();
    held.reset();
    sendJobs(*own);
    newJobs(1);
    EXPECT_EQ(own->officeProcessGroup(), group);
    printNextEntry();
    EXPECT_NE(own->officeProcessGroup(), group);
}

// Killed while it prints, the office fails that entry only, as one that cannot be printed;
// killed between two entries it is started again unseen, and none outlives the program.
TEST_F(OfficeFaults, KilledOfficeFailsOneEntryAndTheNextStartsAnother) {
    auto document = own->open(fixtures->doc());
    const qint64 group = own->officeProcessGroup();
    ASSERT_TRUE(signalGroup(group, SIGKILL));
    const AppError error = failureOf([&] { document->print(); });
    EXPECT_EQ(error.number(), ErrorNumber::CannotBind) << "the office's end ends the batch";
    EXPECT_TRUE(error.description().contains("LibreOffice ended unexpectedly")) << error.what();
    EXPECT_EQ(own->officeProcessGroup(), 0) << "an office was started for the failed entry";
    document.reset(); // releasing a document of the dead office neither hangs nor throws
    printNextEntry();
    ASSERT_TRUE(signalGroup(own->officeProcessGroup(), SIGKILL));
    QTest::qWait(300);
    printNextEntry();
    const qint64 next = own->officeProcessGroup();
    EXPECT_TRUE(next != group && signalGroup(next, 0));
    own.reset();
    EXPECT_FALSE(signalGroup(next, 0)) << "the office outlived the program";
}

// A stopped office is ended after the bound: while loading or printing, the document
// cannot be printed.
TEST_F(OfficeFaults, OfficeHungInACallIsEndedAfterTheBound) {
    ownSettings.set("Quirepress/Settings/OfficeTimeout", "4");
    own->beginRun();
    for (const bool whilePrinting : {true, false}) {
        SCOPED_TRACE(whilePrinting ? "printing" : "loading");
        auto document = own->open(fixtures->doc());
        const qint64 group = own->officeProcessGroup();
        ASSERT_TRUE(signalGroup(group, SIGSTOP));
        QElapsedTimer timer;
        timer.start();
        const ErrorNumber number =
            failureOf([&] {
                whilePrinting ? document->print() : void(own->open(fixtures->xls()));
            }).number();
        EXPECT_EQ(number, ErrorNumber::CannotBind);
        EXPECT_TRUE(timer.elapsed() >= 3900 && timer.elapsed() < 30000) << timer.elapsed();
        EXPECT_FALSE(signalGroup(group, 0)) << "the hung office was left running";
        document.reset();
        printNextEntry();
    }
}

// An office started ahead is the one that prints; one that is gone by the first open, or
// that cannot start at all, changes nothing of what that open does.
TEST_F(OfficeFaults, OfficeStartedAheadChangesNothingButTheWait) {
    own->prepare();
    ASSERT_TRUE(killBetweenCalls(own->officeProcessGroup()));
    auto document = own->open(fixtures->doc());
    document->print();
    document->close();
    sendJobs(*own);
    newJobs(1);

    // The office started ahead is the one that prints, and its warm-up leaves no document
    // open and sends no job (the count waits for the warm-up).
    own = std::make_unique<LibreOfficeApplication>(ownSettings);
    own->prepare();
    const qint64 ahead = own->officeProcessGroup();
    EXPECT_EQ(own->openDocumentCount(), 0);
    printNextEntry();
    EXPECT_EQ(own->officeProcessGroup(), ahead) << "started again for the first document";

    LibreOfficeApplication missing(ownSettings, CupsPrinters(), "/nonexistent/program");
    missing.prepare();
    EXPECT_EQ(failureOf([&] { missing.open(fixtures->doc()); }).number(),
              ErrorNumber::ProgramNotStarted);
}

} // namespace
} // namespace qp::test
