#include "support/WindowFixture.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScreen>
#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

const QString kFirstRunText = QStringLiteral(
    "The first time you run this program,  you need to locate Adobe Acrobat for us.\r\n"
    "If you choose to cancel you may still use this product for MS Office files.");
const QString kDeclinedText = QStringLiteral(
    "You have chosen to cancel the search for Acrobat.\r\n"
    "You will only have the ability to print MS Office files (*.doc | *.xls | *.ppt).");
const QString kServer = QStringLiteral("/opt/quirepress/quirepress-pdf-server");

class StartupTest : public ::testing::Test {
protected:
    WindowFixture f;

    bool locateShown() {
        return f.action("locatePdfServerAction")->isVisible() &&
               f.action("locateSeparator")->isVisible();
    }
    bool locateHidden() {
        return !f.action("locatePdfServerAction")->isVisible() &&
               !f.action("locateSeparator")->isVisible();
    }
    bool isReady() {
        return f.find<QLabel>("statusLabel")->text() == "Ready" &&
               f.find<QListWidget>("batchList")->count() == 0 &&
               !f.find<QProgressBar>("progressBar")->isVisibleTo(&f.window()) &&
               !f.find<QLabel>("progressLabel")->isVisibleTo(&f.window());
    }
    // The window sits in the middle of the screen, give or take its estimated frame.
    bool isCentred() {
        const QRect screen = f.window().screen()->geometry();
        const QRect window = f.window().geometry();
        const int left = window.left() - screen.left();
        const int right = screen.right() - window.right();
        const int top = window.top() - screen.top();
        const int bottom = screen.bottom() - window.bottom();
        return std::abs(left - right) <= 10 && std::abs(top - bottom) <= 50 && left > 0;
    }
};

TEST_F(StartupTest, FirstRunAsksThenStoresTheChosenProgram) {
    f.prompter.script(PromptAnswer::Ok);
    f.dialogs.script(kServer);
    f.window().runStartupChecks();

    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].text, kFirstRunText);
    EXPECT_EQ(f.prompter.boxes[0].title, "Find Acrobat...");
    EXPECT_EQ(f.prompter.boxes[0].buttons, PromptButtons::Ok);
    EXPECT_EQ(f.prompter.boxes[0].icon, PromptIcon::Information);

    ASSERT_EQ(f.dialogs.requests.size(), 1u);
    const FileDialogRequest& request = f.dialogs.requests[0];
    EXPECT_EQ(request.mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(request.title, "Find Adobe Acrobat");
    EXPECT_EQ(request.initDir, f.executableDir); // where the PDF print server is installed
    EXPECT_EQ(request.filter, "Program Files (*.exe)|*.exe");
    EXPECT_EQ(request.fileName, QString());

    EXPECT_EQ(f.settings.get("Quirepress/Settings/Acrobat"), kServer);
    EXPECT_EQ(f.settings.get("Quirepress/Settings/AcroCancelled"), "0");
    EXPECT_TRUE(locateHidden());
    EXPECT_TRUE(isReady());
    EXPECT_TRUE(isCentred());
    EXPECT_TRUE(f.window().fileDialog().throwsOnCancel());
}

TEST_F(StartupTest, DecliningRemembersTheRefusalAndOffersLocateAcrobatFromThenOn) {
    f.prompter.script(PromptAnswer::Ok);
    f.dialogs.script(std::nullopt);
    f.prompter.script(PromptAnswer::Ok);
    f.window().runStartupChecks();

    ASSERT_EQ(f.prompter.boxes.size(), 2u);
    EXPECT_EQ(f.prompter.boxes[1].text, kDeclinedText);
    EXPECT_EQ(f.prompter.boxes[1].title, "MS Office Only...");
    EXPECT_EQ(f.prompter.boxes[1].icon, PromptIcon::Information);
    EXPECT_EQ(f.settings.get("Quirepress/Settings/AcroCancelled"), "1");
    EXPECT_FALSE(f.settings.get("Quirepress/Settings/Acrobat").has_value());
    EXPECT_TRUE(locateShown());
    EXPECT_TRUE(isReady());
    EXPECT_TRUE(isCentred());

    // The next start asks nothing and offers the menu entry again.
    WindowFixture next;
    next.settings = f.settings;
    next.window().runStartupChecks();
    EXPECT_TRUE(next.prompter.boxes.empty());
    EXPECT_TRUE(next.dialogs.requests.empty());
    EXPECT_TRUE(next.action("locatePdfServerAction")->isVisible());
}

TEST_F(StartupTest, AStoredPathMeansNoQuestions) {
    f.settings.set("Quirepress/Settings/Acrobat", kServer);
    f.settings.set("Quirepress/Settings/AcroCancelled", "0");
    f.window().runStartupChecks();
    EXPECT_TRUE(f.prompter.boxes.empty());
    EXPECT_TRUE(f.dialogs.requests.empty());
    EXPECT_TRUE(locateHidden());
    EXPECT_TRUE(isReady());
    EXPECT_EQ(f.settings.writes, 0);
}

TEST_F(StartupTest, OnlyANumberEqualToOneCountsAsDeclined) {
    for (const char* declined : {"1", " 1", "1.0", "01"}) {
        WindowFixture g;
        g.settings.set("Quirepress/Settings/AcroCancelled", declined);
        g.window().runStartupChecks();
        EXPECT_TRUE(g.prompter.boxes.empty()) << declined;
        EXPECT_TRUE(g.action("locatePdfServerAction")->isVisible()) << declined;
    }
    // After an unreachable server the flag is "0" and the path empty: ask again. Any other
    // text means not declined as well.
    for (const char* notDeclined : {"0", "", "2", "yes", "1 1"}) {
        WindowFixture g;
        g.settings.set("Quirepress/Settings/AcroCancelled", notDeclined);
        g.settings.set("Quirepress/Settings/Acrobat", "");
        g.prompter.script(PromptAnswer::Ok);
        g.dialogs.script(kServer);
        g.window().runStartupChecks();
        EXPECT_EQ(g.prompter.boxes.size(), 1u) << notDeclined;
        EXPECT_EQ(g.settings.get("Quirepress/Settings/Acrobat"), kServer) << notDeclined;
        EXPECT_FALSE(g.action("locatePdfServerAction")->isVisible()) << notDeclined;
    }
}

TEST_F(StartupTest, AFailingSettingsStoreIsReportedAndTheProgramGoesOnUncentred) {
    f.settings.failReads = true;
    f.prompter.script(PromptAnswer::Ok);
    const QPoint before = f.window().pos();
    f.window().runStartupChecks();

    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].title, "Error...");
    EXPECT_EQ(f.prompter.boxes[0].text, "Settings cannot be read."); // description only
    EXPECT_EQ(f.prompter.boxes[0].icon, PromptIcon::Critical);
    EXPECT_EQ(f.prompter.boxes[0].buttons, PromptButtons::Ok);
    // The rest of the sequence is skipped: no ready state, no centring.
    EXPECT_EQ(f.find<QLabel>("statusLabel")->text(), QString());
    EXPECT_EQ(f.window().pos(), before);
}

TEST_F(StartupTest, AFailingWriteAfterTheChoiceKeepsWhatWasWritten) {
    f.prompter.script(PromptAnswer::Ok);
    f.dialogs.script(kServer);
    f.settings.failWrites = true;
    f.prompter.script(PromptAnswer::Ok);
    f.window().runStartupChecks();
    ASSERT_EQ(f.prompter.boxes.size(), 2u);
    EXPECT_EQ(f.prompter.boxes[1].title, "Error...");
    EXPECT_EQ(f.prompter.boxes[1].text, "Settings cannot be written.");
}

TEST_F(StartupTest, LocateAcrobatStoresAChoiceSilentlyAndIgnoresACancel) {
    f.settings.set("Quirepress/Settings/AcroCancelled", "1");
    f.window().runStartupChecks();
    ASSERT_TRUE(locateShown());

    f.dialogs.script(std::nullopt);
    f.window().locatePdfServer();
    EXPECT_EQ(f.settings.writes, 0);
    EXPECT_TRUE(f.prompter.boxes.empty());

    f.dialogs.script(kServer);
    f.window().locatePdfServer();
    EXPECT_EQ(f.settings.get("Quirepress/Settings/Acrobat"), kServer);
    EXPECT_EQ(f.settings.get("Quirepress/Settings/AcroCancelled"), "0");
    EXPECT_TRUE(f.prompter.boxes.empty());
    EXPECT_TRUE(locateShown()); // stays until the program ends
    const FileDialogRequest& request = f.dialogs.requests.back();
    EXPECT_EQ(request.title, "Find Adobe Acrobat");
    EXPECT_EQ(request.filter, "Program Files (*.exe)|*.exe");

    f.settings.failWrites = true;
    f.dialogs.script(kServer);
    f.prompter.script(PromptAnswer::Ok);
    f.window().locatePdfServer();
    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].text, "70 Settings cannot be written.");
    EXPECT_EQ(f.prompter.boxes[0].title, "Error...");
}

} // namespace
