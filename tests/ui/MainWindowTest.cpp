#include "support/WindowFixture.h"

#include <QAccessible>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

QRect twips(int left, int top, int width, int height) {
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0),
                 qRound(height / 15.0));
}

class MainWindowTest : public ::testing::Test {
protected:
    WindowFixture f;
    void SetUp() override {
        f.settings.set("Quirepress/Settings/Acrobat", "/opt/quirepress/quirepress-pdf-server");
        f.window().runStartupChecks();
    }
    void showWindow() {
        f.window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.window()));
        QTest::qWait(150); // the frame-dependent minimum size settles after the first show
    }
    QString helpPath() const { return f.executableDir + "/helpfiles/Quirepress.chm"; }
};

TEST_F(MainWindowTest, ControlsSitWhereTheDesignPutsThemWithTheirCaptionsAndNames) {
    ASSERT_EQ(f.window().logicalDpiX(), 96) << "layout expectations assume 96 dpi";
    showWindow();
    struct Expected {
        const char* name;
        QRect rect;
        QString accessibleName;
    };
    const Expected controls[] = {
        {"filesFrame", twips(120, 120, 5535, 3615), "Office files to process"},
        {"pathLabel", twips(240, 360, 975, 255), "File to add"},
        {"pathEdit", twips(120, 600, 3975, 375), "File to add"},
        {"browseButton", twips(4200, 600, 375, 375), "Browse"},
        {"addButton", twips(4680, 600, 735, 375), "Add"},
        {"batchList", twips(120, 1080, 5295, 1815), "Office files to process"},
        {"clearButton", twips(4200, 3120, 615, 495), "Clear"},
        {"printButton", twips(4920, 3120, 615, 495), "Print Batch"},
        {"progressLabel", twips(120, 3840, 1815, 255), "Progress:"},
        {"progressBar", twips(120, 4080, 5535, 255), "Progress"},
    };
    for (const Expected& c : controls) {
        auto* w = f.find<QWidget>(c.name);
        ASSERT_NE(w, nullptr) << c.name;
        EXPECT_EQ(w->geometry(), c.rect) << c.name;
        EXPECT_EQ(w->accessibleName(), c.accessibleName) << c.name;
    }
    EXPECT_EQ(f.find<QGroupBox>("filesFrame")->title(), "Office files to process");
    EXPECT_EQ(f.find<QPushButton>("browseButton")->text(), "...");
    EXPECT_TRUE(f.find<QPushButton>("browseButton")->font().bold());
    EXPECT_EQ(f.find<QPushButton>("browseButton")->font().pointSize(), 12);
    EXPECT_EQ(f.find<QPushButton>("browseButton")->toolTip(), "Browse");
    EXPECT_EQ(f.find<QPushButton>("addButton")->text(), "&Add");
    EXPECT_EQ(f.find<QPushButton>("addButton")->toolTip(), "Add file to Batch");
    EXPECT_TRUE(f.find<QPushButton>("clearButton")->text().isEmpty());
    EXPECT_FALSE(f.find<QPushButton>("clearButton")->icon().availableSizes().isEmpty());
    EXPECT_EQ(f.find<QPushButton>("clearButton")->toolTip(), "Clear");
    EXPECT_TRUE(f.find<QPushButton>("printButton")->text().isEmpty());
    EXPECT_FALSE(f.find<QPushButton>("printButton")->icon().availableSizes().isEmpty());
    EXPECT_EQ(f.find<QPushButton>("printButton")->toolTip(), "Print Batch");
    EXPECT_EQ(f.find<QPushButton>("printButton")->iconSize(), QSize(33, 29));
    EXPECT_EQ(f.find<QPushButton>("clearButton")->iconSize(), QSize(32, 32));
    EXPECT_TRUE(f.find<QLabel>("progressLabel")->font().bold());
    EXPECT_EQ(f.window().windowTitle(), "Quirepress");
    EXPECT_FALSE(f.window().windowIcon().availableSizes().isEmpty());
    // The client area is at least the design's; more where the platform draws no frame,
    // since the outer design size is the minimum.
    EXPECT_GE(f.window().centralWidget()->height() + f.window().statusBar()->height(),
              qRound(4755 / 15.0));
    EXPECT_GE(f.window().centralWidget()->width(), qRound(5865 / 15.0));
    EXPECT_EQ(f.window().statusBar()->height(), qRound(375 / 15.0));
}

TEST_F(MainWindowTest, MenusHaveTheirCaptionsAndLocateAcrobatStartsHidden) {
    QList<QString> captions;
    for (QAction* a : f.window().menuBar()->actions())
        captions << a->text();
    EXPECT_EQ(captions, (QList<QString>{"&File", "&Help"}));

    auto* file = f.find<QMenu>("fileMenu");
    QStringList entries;
    for (QAction* a : file->actions())
        entries << (a->isSeparator() ? a->objectName() : a->objectName() + "=" + a->text());
    EXPECT_EQ(entries, (QStringList{"browseAction=&Browse...", "clearListAction=&Clear List",
                                    "listSeparator", "openBatchAction=&Open Batch",
                                    "saveBatchAction=&Save Batch", "batchSeparator",
                                    "locatePdfServerAction=&Locate Acrobat", "locateSeparator",
                                    "exitAction=&Exit"}));
    EXPECT_FALSE(f.action("locatePdfServerAction")->isVisible());
    EXPECT_FALSE(f.action("locateSeparator")->isVisible());
    for (QAction* a : file->actions())
        EXPECT_TRUE(a->shortcut().isEmpty());

    QStringList help;
    for (QAction* a : f.find<QMenu>("helpMenu")->actions())
        help << (a->isSeparator() ? a->objectName() : a->objectName() + "=" + a->text());
    EXPECT_EQ(help, (QStringList{"aboutAction=About Quirepress", "helpSeparator",
                                 "contentsAction=&Contents"}));
}

TEST_F(MainWindowTest, TabVisitsTheControlsInDesignOrderAndTheListStartsWithTheFocus) {
    showWindow();
    EXPECT_EQ(QApplication::focusWidget(), f.find<QWidget>("batchList"));
    QStringList visited;
    QWidget* w = f.find<QWidget>("batchList");
    for (int i = 0; i < 6; ++i) {
        visited << w->objectName();
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible() || !w->isEnabled());
    }
    EXPECT_EQ(visited, (QStringList{"batchList", "pathEdit", "printButton", "addButton",
                                    "browseButton", "clearButton"}));
}

TEST_F(MainWindowTest, TheWindowCannotBeMadeSmallerThanItsDesignButMayGrow) {
    showWindow();
    const QSize minimum = f.window().minimumSize();
    const QSize frame = f.window().frameGeometry().size() - f.window().size();
    EXPECT_EQ(minimum + frame, QSize(qRound(5985 / 15.0), qRound(5445 / 15.0)));

    f.window().resize(200, 150);
    QTest::qWait(50);
    EXPECT_GE(f.window().width(), minimum.width());
    EXPECT_GE(f.window().height(), minimum.height());

    const QRect listBefore = f.find<QWidget>("batchList")->geometry();
    f.window().resize(700, 600);
    QTest::qWait(50);
    EXPECT_EQ(f.window().size(), QSize(700, 600));
    EXPECT_EQ(f.find<QWidget>("batchList")->geometry(), listBefore);
    EXPECT_EQ(f.window().statusBar()->width(), 700);
    EXPECT_EQ(f.window().statusBar()->geometry().bottom(), 599);
}

TEST_F(MainWindowTest, F1OpensHelpFromAnyControlWithAnyModifiers) {
    showWindow();
    const char* targets[] = {"batchList", "pathEdit", "addButton", "printButton"};
    const Qt::KeyboardModifiers modifiers[] = {Qt::NoModifier, Qt::ShiftModifier,
                                               Qt::ControlModifier, Qt::AltModifier};
    int expected = 0;
    for (const char* target : targets) {
        for (Qt::KeyboardModifiers m : modifiers) {
            auto* w = f.find<QWidget>(target);
            w->setFocus();
            QTest::keyPress(w, Qt::Key_F1, m);
            EXPECT_EQ(f.help.paths.size(), expected) << "help opens on release, not press";
            QTest::keyRelease(w, Qt::Key_F1, m);
            ++expected;
            ASSERT_EQ(f.help.paths.size(), expected) << target << " " << int(m);
        }
    }
    for (const QString& path : f.help.paths)
        EXPECT_EQ(path, helpPath());
    EXPECT_EQ(f.help.owners.front(), quintptr(f.window().winId()));

    // Held-down F1 repeats releases; only the real one counts.
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(f.find<QWidget>("batchList"), &repeat);
    EXPECT_EQ(f.help.paths.size(), expected);

    // The Help menu's "&Contents" makes the same call.
    f.action("contentsAction")->trigger();
    EXPECT_EQ(f.help.paths.last(), helpPath());
    EXPECT_TRUE(f.prompter.boxes.empty());
}

TEST_F(MainWindowTest, SaveBatchIsEnabledByTheListAtTheMomentTheFileMenuOpens) {
    auto* file = f.find<QMenu>("fileMenu");
    QAction* save = f.action("saveBatchAction");
    Q_EMIT file->aboutToShow();
    EXPECT_FALSE(save->isEnabled());

    auto* text = f.find<QLineEdit>("pathEdit");
    text->setText("/data/a.doc");
    f.window().addTypedPath();
    EXPECT_FALSE(save->isEnabled()) << "the rule applies only when the menu opens";
    Q_EMIT file->aboutToShow();
    EXPECT_TRUE(save->isEnabled());

    f.prompter.script(PromptAnswer::Yes);
    f.window().clearList();
    Q_EMIT file->aboutToShow();
    EXPECT_FALSE(save->isEnabled());
}

TEST_F(MainWindowTest, TheStatusLineSurvivesOpeningAMenu) {
    showWindow();
    auto* status = f.find<QLabel>("statusLabel");
    ASSERT_EQ(status->text(), "Ready");
    auto* file = f.find<QMenu>("fileMenu");
    file->popup(f.window().mapToGlobal(QPoint(10, 10)));
    QTest::qWait(50);
    f.window().statusBar()->showMessage("Opens a batch file"); // what hovering an entry does
    file->hide();
    EXPECT_EQ(status->text(), "Ready");
    EXPECT_TRUE(status->isVisible());
}

TEST_F(MainWindowTest, AssistiveToolsReadWhatTheStatusLineShows) {
    showWindow();
    auto* status = f.find<QLabel>("statusLabel");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(status);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Ready");
    status->setText("Preparing /data/x.doc for printing.");
    EXPECT_EQ(accessible->text(QAccessible::Name), "Preparing /data/x.doc for printing.");
}

TEST_F(MainWindowTest, EnterPressesAddOrTheFocusedButtonAndEscPressesClear) {
    showWindow();
    auto* text = f.find<QLineEdit>("pathEdit");
    text->setFocus();
    QTest::keyClicks(text, "/data/typed.doc");
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(f.listEntries(), QStringList{"/data/typed.doc"});
    EXPECT_TRUE(text->text().isEmpty());

    auto* browse = f.find<QPushButton>("browseButton");
    browse->setFocus();
    f.dialogs.script(QStringLiteral("/data/browsed.xls"));
    QTest::keyClick(browse, Qt::Key_Enter);
    EXPECT_EQ(text->text(), "/data/browsed.xls");
    EXPECT_EQ(f.listEntries().size(), 1);

    f.prompter.script(PromptAnswer::Yes);
    QTest::keyClick(f.find<QWidget>("batchList"), Qt::Key_Escape);
    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].title, "Clear List...");
    EXPECT_TRUE(f.listEntries().isEmpty());
}

} // namespace
