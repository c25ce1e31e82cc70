#include "OfficeTestSupport.h"
#include "core/AppError.h"
#include "platform/libreoffice/LibreOfficeAutomation.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QElapsedTimer>

#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace qp::test {
namespace {

using namespace std::chrono_literals;

const QString Queue = QStringLiteral("faults");
const QString TimeoutSetting = QStringLiteral("Quirepress/Settings/OfficeTimeout");

bool groupExists(qint64 group) {
    return group > 0 && ::kill(-static_cast<pid_t>(group), 0) == 0;
}

// Runs an action that must fail, and gives its error.
AppError failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return AppError(0, {});
}

TEST(OfficeCallBound, ComesFromTheSettingsAndGrowsWithTheFile) {
    FakeSettingsStore settings;
    LibreOfficeAutomation office(settings);
    EXPECT_EQ(office.callBound(1000), 180s);
    settings.set(TimeoutSetting, QStringLiteral(" 5 "));
    EXPECT_EQ(office.callBound(1000), 5s);
    EXPECT_EQ(office.callBound(25 * 1024 * 1024), 15s);
    settings.set(TimeoutSetting, QStringLiteral("0.5"));
    EXPECT_EQ(office.callBound(0), 500ms);
    for (const char* unusable : {"", "soon", "-3", "0"}) {
        settings.set(TimeoutSetting, QString::fromLatin1(unusable));
        EXPECT_EQ(office.callBound(0), 180s) << unusable;
    }
    settings.set(TimeoutSetting, QStringLiteral("5"));
    settings.failReads = true;
    EXPECT_EQ(office.callBound(0), 180s);
    // Nothing was started for any of this.
    EXPECT_EQ(office.officeProcessGroup(), 0);
}

class OfficeFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        cups = new PrivateCups;
        cups->addKeepingQueue(Queue, true);
        fixtures = new OfficeFixtures;
    }
    static void TearDownTestSuite() {
        delete fixtures;
        delete cups;
    }

    // Prints the Word fixture, as the next entry of a run would.
    void printNextEntry(LibreOfficeAutomation& office) {
        const int before = cups->jobFiles(Queue).size();
        auto document = office.bind(fixtures->doc());
        document->call(QStringLiteral("PrintOut"));
        document->call(QStringLiteral("Close"));
        EXPECT_TRUE(cups->waitForJobs(Queue, before + 1, 60000));
    }

    static PrivateCups* cups;
    static OfficeFixtures* fixtures;
    FakeSettingsStore settings;
};

PrivateCups* OfficeFaults::cups = nullptr;
OfficeFixtures* OfficeFaults::fixtures = nullptr;

TEST_F(OfficeFaults, KilledOfficeFailsItsEntryAndTheNextEntryStartsAnother) {
    LibreOfficeAutomation office(settings);
    auto document = office.bind(fixtures->doc());
    const qint64 group = office.officeProcessGroup();
    ASSERT_GT(group, 0);
    ::kill(-static_cast<pid_t>(group), SIGKILL);

    const AppError error = failureOf([&] { document->call(QStringLiteral("PrintOut")); });
    EXPECT_EQ(error.number(), ErrorNumber::AutomationError);
    EXPECT_TRUE(error.description().contains(QStringLiteral("LibreOffice ended unexpectedly")))
        << error.what();
    // The entry failed without a new office being started for it.
    EXPECT_EQ(office.officeProcessGroup(), 0);
    document.reset(); // releasing a document of the dead office neither hangs nor throws

    printNextEntry(office);
    EXPECT_NE(office.officeProcessGroup(), group);
    EXPECT_GT(office.officeProcessGroup(), 0);
}

TEST_F(OfficeFaults, OfficeKilledWhileLoadingFailsThatEntryOnly) {
    const QString corpus = corpusDir();
    if (corpus.isEmpty()) {
        ASSERT_FALSE(mustNotSkip()) << "the document corpus is missing";
        GTEST_SKIP() << "no corpus: no document that loads slowly enough";
    }
    LibreOfficeAutomation office(settings);
    office.bind(fixtures->doc()); // the office is up
    const qint64 group = office.officeProcessGroup();
    std::thread killer([group] {
        std::this_thread::sleep_for(300ms);
        ::kill(-static_cast<pid_t>(group), SIGKILL);
    });
    QElapsedTimer timer;
    timer.start();
    const AppError error =
        failureOf([&] { office.bind(corpus + QStringLiteral("/doc/Bug50955.doc")); });
    killer.join();
    EXPECT_TRUE(error.number() == ErrorNumber::AutomationError ||
                error.number() == ErrorNumber::CannotBind)
        << error.what();
    EXPECT_LT(timer.elapsed(), 30000);
    printNextEntry(office);
}

TEST_F(OfficeFaults, OfficeHungWhilePrintingIsEndedAfterTheBound) {
    settings.set(TimeoutSetting, QStringLiteral("4"));
    LibreOfficeAutomation office(settings);
    auto document = office.bind(fixtures->doc());
    const qint64 group = office.officeProcessGroup();
    ::kill(-static_cast<pid_t>(group), SIGSTOP);

    QElapsedTimer timer;
    timer.start();
    const AppError error = failureOf([&] { document->call(QStringLiteral("PrintOut")); });
    EXPECT_EQ(error.number(), ErrorNumber::AutomationError) << error.what();
    EXPECT_GE(timer.elapsed(), 3900);
    EXPECT_LT(timer.elapsed(), 30000);
    EXPECT_FALSE(groupExists(group)) << "the hung office was left running";
    document.reset();

    printNextEntry(office);
}

TEST_F(OfficeFaults, OfficeHungWhileLoadingMeansTheDocumentCannotBeBound) {
    settings.set(TimeoutSetting, QStringLiteral("4"));
    LibreOfficeAutomation office(settings);
    office.bind(fixtures->doc());
    const qint64 group = office.officeProcessGroup();
    ::kill(-static_cast<pid_t>(group), SIGSTOP);

    QElapsedTimer timer;
    timer.start();
    const AppError error = failureOf([&] { office.bind(fixtures->xls()); });
    EXPECT_EQ(error.number(), ErrorNumber::CannotBind) << error.what();
    EXPECT_LT(timer.elapsed(), 30000);
    EXPECT_FALSE(groupExists(group));

    printNextEntry(office);
}

TEST_F(OfficeFaults, OfficeEndsWithTheProgram) {
    qint64 group = 0;
    {
        LibreOfficeAutomation office(settings);
        printNextEntry(office);
        group = office.officeProcessGroup();
        ASSERT_GT(group, 0);
        EXPECT_TRUE(groupExists(group));
    }
    EXPECT_FALSE(groupExists(group));
}

} // namespace
} // namespace qp::test
