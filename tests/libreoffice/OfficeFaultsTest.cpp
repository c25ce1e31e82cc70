#include "OfficeTestSupport.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "support/EventGapProbe.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QElapsedTimer>

#include <csignal>
#include <thread>

namespace qp::test {
namespace {

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;

const QString TimeoutSetting = u"Quirepress/Settings/OfficeTimeout"_s;

bool groupExists(qint64 group) {
    return group > 0 && ::kill(-static_cast<pid_t>(group), 0) == 0;
}

void signalGroup(qint64 group, int signal) {
    ASSERT_GT(group, 0);
    ::kill(-static_cast<pid_t>(group), signal);
}

TEST(OfficeCallBound, ComesFromTheSettingsAndGrowsWithTheFile) {
    FakeSettingsStore settings;
    LibreOfficeApplication office(settings);
    EXPECT_EQ(office.callBound(1000), 180s);
    settings.set(TimeoutSetting, u" 5 "_s);
    EXPECT_EQ(office.callBound(1000), 5s);
    EXPECT_EQ(office.callBound(25 * 1024 * 1024), 15s);
    settings.set(TimeoutSetting, u"0.5"_s);
    EXPECT_EQ(office.callBound(0), 500ms);
    for (const char* unusable : {"", "soon", "-3", "0"}) {
        settings.set(TimeoutSetting, QString::fromLatin1(unusable));
        EXPECT_EQ(office.callBound(0), 180s) << unusable;
    }
    settings.set(TimeoutSetting, u"5"_s);
    settings.failReads = true;
    EXPECT_EQ(office.callBound(0), 180s);
    EXPECT_EQ(office.officeProcessGroup(), 0) << "started an office for none of this";
}

// Each test starts an office of its own, as it kills or stops it.
class OfficeFaults : public OfficeSuite {
protected:
    // Prints the Word fixture, as the next entry of a run would.
    void printNextEntry() {
        auto document = ownOffice.open(fixtures->doc());
        document->print();
        document->close();
        newJobs(1);
    }

    FakeSettingsStore settings;
    LibreOfficeApplication ownOffice{settings};
};

TEST_F(OfficeFaults, KilledOfficeFailsItsEntryAndTheNextEntryStartsAnother) {
    auto document = ownOffice.open(fixtures->doc());
    const qint64 group = ownOffice.officeProcessGroup();
    signalGroup(group, SIGKILL);

    const AppError error = failureOf([&] { document->print(); });
    EXPECT_EQ(error.number(), ErrorNumber::AutomationError);
    EXPECT_TRUE(error.description().contains(u"LibreOffice ended unexpectedly"_s)) << error.what();
    EXPECT_EQ(ownOffice.officeProcessGroup(), 0) << "an office was started for the failed entry";
    document.reset(); // releasing a document of the dead office neither hangs nor throws

    printNextEntry();
    EXPECT_NE(ownOffice.officeProcessGroup(), group);
    EXPECT_GT(ownOffice.officeProcessGroup(), 0);
}

TEST_F(OfficeFaults, OfficeKilledWhileLoadingFailsThatEntryOnly) {
    const QString corpus = corpusDir();
    if (corpus.isEmpty()) {
        ASSERT_FALSE(mustNotSkip()) << "the document corpus is missing";
        GTEST_SKIP() << "no corpus: no document that loads slowly enough";
    }
    ownOffice.open(fixtures->doc());
    const qint64 group = ownOffice.officeProcessGroup();
    std::thread killer([group] {
        std::this_thread::sleep_for(300ms);
        signalGroup(group, SIGKILL);
    });
    QElapsedTimer timer;
    timer.start();
    const long number =
        failureOf([&] { ownOffice.open(corpus + u"/doc/Bug50955.doc"_s); }).number();
    killer.join();
    EXPECT_TRUE(number == ErrorNumber::AutomationError || number == ErrorNumber::CannotBind)
        << number;
    EXPECT_LT(timer.elapsed(), 30000);
    printNextEntry();
}

// A stopped office is ended after the bound: while printing that fails the entry, while
// loading it means the document cannot be bound.
TEST_F(OfficeFaults, OfficeHungInACallIsEndedAfterTheBound) {
    settings.set(TimeoutSetting, u"4"_s);
    for (const bool whilePrinting : {true, false}) {
        SCOPED_TRACE(whilePrinting ? "printing" : "loading");
        auto document = ownOffice.open(fixtures->doc());
        const qint64 group = ownOffice.officeProcessGroup();
        signalGroup(group, SIGSTOP);

        QElapsedTimer timer;
        timer.start();
        EventGapProbe probe;
        const long number = failureOf([&] {
                                if (whilePrinting)
                                    document->print();
                                else
                                    ownOffice.open(fixtures->xls());
                            }).number();
        EXPECT_EQ(number, whilePrinting ? ErrorNumber::AutomationError : ErrorNumber::CannotBind);
        EXPECT_LT(probe.longestMilliseconds(), 1000) << "the window would have frozen";
        EXPECT_GE(timer.elapsed(), 3900);
        EXPECT_LT(timer.elapsed(), 30000);
        EXPECT_FALSE(groupExists(group)) << "the hung office was left running";
        document.reset();
        printNextEntry();
    }
}

// Whoever waits for the office goes on handling events: the window stays painted while the
// office starts and while a long document loads and prints.
TEST_F(OfficeFaults, WaitingForTheOfficeKeepsHandlingEvents) {
    const QString longDocument = fixtures->longDoc(300);
    EventGapProbe probe;
    auto document = ownOffice.open(longDocument);
    document->print();
    document->close();
    EXPECT_LT(probe.longestMilliseconds(), 1000);
    ASSERT_EQ(newJobs(1).size(), 1);
}

// An office asked for ahead starts without holding up the caller; one that is gone by the
// first open, or that cannot start at all, changes nothing of what that open does.
TEST_F(OfficeFaults, OfficeStartedAheadChangesNothingButTheWait) {
    QElapsedTimer timer;
    timer.start();
    ownOffice.prepare();
    EXPECT_LT(timer.elapsed(), 200);
    const qint64 group = ownOffice.officeProcessGroup();
    ASSERT_GT(group, 0);
    signalGroup(group, SIGKILL);
    printNextEntry();

    LibreOfficeApplication missing(settings, CupsPrinters(), u"/nonexistent/program"_s);
    missing.prepare();
    EXPECT_EQ(failureOf([&] { missing.open(fixtures->doc()); }).number(),
              ErrorNumber::ProgramNotStarted);
}

TEST_F(OfficeFaults, OfficeEndsWithTheProgram) {
    qint64 group = 0;
    {
        LibreOfficeApplication own(settings);
        own.open(fixtures->doc());
        group = own.officeProcessGroup();
        EXPECT_TRUE(groupExists(group));
    }
    EXPECT_FALSE(groupExists(group));
}

} // namespace
} // namespace qp::test
