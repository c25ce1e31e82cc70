#include "support/QStringPrinting.h"
#include "support/WindowFixture.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

class MainWindowTest : public ::testing::Test, protected WindowFixture {
protected:
    void SetUp() override {
        settings.set("Quirepress/Settings/Acrobat", "/pdf");
        window().runStartupChecks();
        window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    }
};

TEST_F(MainWindowTest, F1ReleasedOnAnyControlWithAnyModifiersAndContentsOpenHelp) {
    for (const char* target : {"batchList", "pathEdit", "printButton"}) {
        for (const Qt::KeyboardModifiers m : {Qt::NoModifier, Qt::ShiftModifier, Qt::AltModifier}) {
            const qsizetype before = help.paths.size();
            QTest::keyPress(find<QWidget>(target), Qt::Key_F1, m);
            EXPECT_EQ(help.paths.size(), before) << "help opens on release, not press";
            QTest::keyRelease(find<QWidget>(target), Qt::Key_F1, m);
            EXPECT_EQ(help.paths.size(), before + 1) << target;
        }
    }
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_F1, {}, QString(), true); // held down
    QApplication::sendEvent(find<QWidget>("batchList"), &repeat);
    action("contentsAction")->trigger();
    EXPECT_EQ(help.paths, QStringList(10, "/opt/quirepress/helpfiles/Quirepress.chm"));
    EXPECT_EQ(help.owners.front(), quintptr(window().winId()));
}

TEST_F(MainWindowTest, SaveBatchFollowsTheListAtTheMomentTheFileMenuOpens) {
    auto* file = find<QMenu>("fileMenu");
    QAction* save = action("saveBatchAction");
    QStringList seen;
    for (const char* typed : {"", "/d/a.doc"}) {
        Q_EMIT file->aboutToShow();
        find<QLineEdit>("pathEdit")->setText(typed);
        window().addTypedPath();
        seen << QStringLiteral("%1 %2").arg(save->isEnabled()).arg(typed);
    }
    Q_EMIT file->aboutToShow();
    EXPECT_EQ(seen, (QStringList{"0 ", "0 /d/a.doc"}));
    EXPECT_TRUE(save->isEnabled());
}

TEST_F(MainWindowTest, TheStatusLineSurvivesAMenuAndAssistiveToolsReadIt) {
    auto* status = find<QLabel>("statusLabel");
    find<QMenu>("fileMenu")->popup(window().mapToGlobal(QPoint(10, 10)));
    window().statusBar()->showMessage("Opens a batch file"); // what hovering an entry does
    find<QMenu>("fileMenu")->hide();
    EXPECT_EQ(status->text(), "Ready");
    EXPECT_TRUE(status->isVisible());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(status);
    ASSERT_NE(accessible, nullptr);
    status->setText("Preparing /d/x.doc for printing.");
    EXPECT_EQ(accessible->text(QAccessible::Name), "Preparing /d/x.doc for printing.");
}

TEST_F(MainWindowTest, EnterPressesAddOrTheFocusedButtonAndEscPressesClear) {
    auto* text = find<QLineEdit>("pathEdit");
    text->setFocus();
    QTest::keyClicks(text, "/d/typed.doc");
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(listEntries(), QStringList{"/d/typed.doc"});
    dialogs.script(QStringLiteral("/d/browsed.xls"));
    find<QWidget>("browseButton")->setFocus();
    QTest::keyClick(find<QWidget>("browseButton"), Qt::Key_Enter);
    EXPECT_EQ(text->text(), "/d/browsed.xls");
    prompter.script(PromptAnswer::Yes);
    QTest::keyClick(find<QWidget>("batchList"), Qt::Key_Escape);
    EXPECT_EQ(prompter.boxes.at(0).title, "Clear List...");
    EXPECT_TRUE(listEntries().isEmpty());
}

} // namespace
} // namespace qp::test
