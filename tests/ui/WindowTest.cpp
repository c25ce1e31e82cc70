#include "app/CommandLine.h"
#include "support/QStringPrinting.h"
#include "support/WindowFixture.h"
#include "ui/AboutDialog.h"

#include <QtTest>
#include <QtWidgets>
#include <ctime>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

class WindowTest : public QObject, public ::testing::Test, protected WindowFixture {
protected:
    void SetUp() override {
        prompter.journal = &boxes;
        showReadyWindow();
        find("statusLabel")->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        statusPaints += event->type() == QEvent::Paint;
        return false;
    }
    QLineEdit* text() { return find<QLineEdit>("pathEdit"); }
    QListWidget* list() { return find<QListWidget>("batchList"); }
    QStringList entries() { return window().entries(); }
    void add(const QString& path) {
        text()->setText(path);
        window().addTypedPath();
    }
    void drop(const QStringList& paths) {
        QMimeData data;
        for (const QString& path : paths)
            data.setUrls(data.urls() << QUrl::fromLocalFile(path));
        window().addDroppedFiles(&data);
    }
    QString batchFile(const QByteArray& bytes, const QString& name = "week.qpb") {
        QFile file(dataHome.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    }
    void open(const std::optional<QString>& path) {
        dialogs.script(path);
        window().openBatchFile();
    }
    void print(const QStringList& paths, PromptAnswer answer) {
        for (const QString& path : paths) {
            text()->setText(path);
            QTest::mouseClick(find("addButton"), Qt::LeftButton);
        }
        prompter.script(answer);
        QTest::mouseClick(find("printButton"), Qt::LeftButton);
        EXPECT_TRUE(prompter.allAnswersUsed());
        EXPECT_TRUE(entries().isEmpty());
        EXPECT_EQ(status(), "Ready");
        EXPECT_FALSE(bar()->isVisible() || find("progressLabel")->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    QProgressBar* bar() { return find<QProgressBar>("progressBar"); }
    QString status() { return find<QLabel>("statusLabel")->text(); }
    QStringList boxes;
    int statusPaints = 0;
};

TEST_F(WindowTest, F1OpensHelpOnReleaseEnterPressesAddOrTheFocusedButtonAndEscClears) {
    QTest::keyPress(list(), Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_TRUE(help.paths.isEmpty()) << "help opens on release, not press";
    QTest::keyRelease(list(), Qt::Key_F1, Qt::ShiftModifier);
    QTest::keyRelease(text(), Qt::Key_F1);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_F1, {}, QString(), true); // held down
    QApplication::sendEvent(list(), &repeat);
    find<QAction>("contentsAction")->trigger();
    EXPECT_EQ(help.paths, QStringList(3, "/opt/quirepress/helpfiles/Quirepress.chm"));
    EXPECT_EQ(help.owner, quintptr(window().winId()));

    text()->setFocus();
    QTest::keyClicks(text(), "/d/typed.doc");
    QTest::keyClick(text(), Qt::Key_Return);
    EXPECT_EQ(entries(), QStringList{"/d/typed.doc"});
    dialogs.script(QStringLiteral("/d/browsed.xls"));
    find("browseButton")->setFocus();
    QTest::keyClick(find("browseButton"), Qt::Key_Enter);
    EXPECT_EQ(text()->text(), "/d/browsed.xls");
    prompter.script(PromptAnswer::Yes);
    QTest::keyClick(list(), Qt::Key_Escape);
    EXPECT_TRUE(boxes.value(0).startsWith("box Clear List..."));
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(WindowTest, SaveFollowsTheListWhenTheFileMenuOpensAndTheStatusLineOutlivesAMenu) {
    auto* file = find<QMenu>("fileMenu");
    auto* save = find<QAction>("saveBatchAction");
    Q_EMIT file->aboutToShow();
    add("/d/a.doc");
    EXPECT_FALSE(save->isEnabled());
    Q_EMIT file->aboutToShow();
    EXPECT_TRUE(save->isEnabled());

    auto* status = find<QLabel>("statusLabel");
    file->popup(window().mapToGlobal(QPoint(10, 10)));
    window().statusBar()->showMessage("Opens a batch file"); // what hovering an entry does
    file->hide();
    EXPECT_EQ(status->text(), "Ready");
    EXPECT_TRUE(status->isVisible());
    status->setText("Preparing /d/x.doc for printing."); // assistive tools read it as it is
    EXPECT_EQ(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name),
              "Preparing /d/x.doc for printing.");
}

TEST_F(WindowTest, AboutShowsTheVersionHoldsBackTheWindowsKeysAndGoesAwayOnOk) {
    const auto type = [&](Qt::Key key) { // through the window system, where modality rules
        QTest::keyClick(window().windowHandle(), key);
        QCoreApplication::processEvents();
    };
    text()->setFocus();
    QPointer<QDialog> about;
    QString version, typedWhileOpen;
    QTimer::singleShot(0, [&] { // runs inside About's modal loop
        about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(about);
        // A broken close path fails the test instead of hanging it.
        QTimer::singleShot(5000, about, [&] {
            ADD_FAILURE() << "OK did not close About";
            about->reject();
        });
        version = about->findChild<QLabel*>("versionLabel")->text();
        type(Qt::Key_A);
        typedWhileOpen = text()->text();
        about->findChild<QPushButton*>("okButton")->click();
    });
    find<QAction>("aboutAction")->trigger();
    EXPECT_EQ(version, QStringLiteral("Version " QP_PROJECT_VERSION));
    EXPECT_EQ(typedWhileOpen, "") << "the main window took keys while About was open";
    EXPECT_TRUE(about.isNull()) << "the window outlived its closing";
    window().activateWindow();
    text()->setFocus();
    type(Qt::Key_K);
    EXPECT_EQ(text()->text(), "k");
}

TEST_F(WindowTest, TypedDroppedAndGivenFilesAreAddedAsTheUserGaveThem) {
    for (const char* typed : {"", "   ", "/d/a.doc", "/d/a.doc"})
        add(typed);
    EXPECT_TRUE(text()->text().isEmpty());
    for (int refusal = 0; refusal < 3; ++refusal)
        prompter.script(PromptAnswer::Ok);
    drop({"/d/L.doc", "/d/notes.txt", "/d/S.PDF", "/d/thisisadoc", "/d/b.Xls", "/d/c.ppt"});
    QMimeData dragged;
    dragged.setText("/d/x.doc");
    window().addDroppedFiles(&dragged);
    window().openFiles(CommandLine::parse({"quirepress", batchFile("\"/d/b.pdf\"\r\n", "M.QPB"),
                                           dataHome.filePath("none.qpb"), "rel.ppt"})
                           .files);
    EXPECT_EQ(entries(), (QStringList{"   ", "/d/a.doc", "/d/a.doc", "/d/L.doc", "/d/S.PDF",
                                      "/d/thisisadoc", "/d/b.Xls", "/d/c.ppt", "/d/b.pdf",
                                      QDir().absoluteFilePath("rel.ppt")}));
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_EQ(boxes[0], "box Improper file format...: File /d/notes.txt is not a supported file.");
    EXPECT_EQ(boxes[1], "box Not supported...: The selected file is not a supported.");
    EXPECT_TRUE(boxes[2].startsWith("box Error...") && boxes[2].contains("none.qpb"));

    // A real drop on the list reaches the window.
    dragged.setUrls({QUrl::fromLocalFile("/d/dragged.pdf")});
    const QPoint at = list()->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QDragMoveEvent move(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QDropEvent drop(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &drop})
        QApplication::sendEvent(list()->viewport(), event);
    EXPECT_EQ(entries().last(), "/d/dragged.pdf");
}

TEST_F(WindowTest, BrowseFillsTheBoxAndACancelEmptiesItOnlyUntilABatchWasOpened) {
    dialogs.script(QStringLiteral("/home/ann/Report 2024.doc"));
    window().browseForFile();
    EXPECT_EQ(text()->text(), "/home/ann/Report 2024.doc");
    EXPECT_EQ(dialogs.requests[0].filter,
              "Word Files (*.doc)|*.doc|Excel Files (*.xls)|*.xls|"
              "Presentation Files (*.ppt)|*.ppt|Pdf Files (*.pdf)|*.pdf");
    dialogs.script(std::nullopt);
    window().browseForFile();
    EXPECT_TRUE(text()->text().isEmpty());
    open(std::nullopt); // from then on a cancel is an error: the box keeps its text, silently
    text()->setText("kept");
    dialogs.script(std::nullopt);
    window().browseForFile();
    EXPECT_EQ(text()->text(), "kept");
    EXPECT_EQ(dialogs.requests.back().initDir, dataHome.filePath("BatchBin"));
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(WindowTest, DeleteClearAndExitTakeOnlyWhatTheUserMeant) {
    QTest::keyRelease(list(), Qt::Key_Delete); // an empty list: nothing happens
    for (const char* path : {"/1.doc", "/2.doc", "/3.doc"})
        add(path);
    QTest::keyRelease(list(), Qt::Key_Delete); // nothing selected yet
    list()->setCurrentRow(1);
    QTest::keyRelease(list(), Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyRelease(list(), Qt::Key_Delete); // nothing is selected after a removal
    list()->setCurrentRow(0);
    QTest::keyRelease(list(), Qt::Key_Backspace);
    EXPECT_EQ(entries(), (QStringList{"/1.doc", "/3.doc"}));

    for (const PromptAnswer answer : {PromptAnswer::No, PromptAnswer::No, PromptAnswer::Yes})
        prompter.script(answer);
    text()->setText("typed");
    window().clearList();
    window().exitProgram();
    EXPECT_EQ(entries().size(), 2);
    EXPECT_EQ(text()->text() + QString::number(endProgramCalls), "typed0");
    QTest::mouseClick(find("clearButton"), Qt::LeftButton);
    EXPECT_TRUE(entries().isEmpty() && text()->text().isEmpty());
    window().clearList(); // nothing to lose: no questions
    window().exitProgram();
    EXPECT_EQ(endProgramCalls, 1);
    const QString clear = "box Clear List...: This will clear your current job. Are you sure "
                          "you want to do this?";
    EXPECT_EQ(boxes,
              (QStringList{clear, "box : You haven't run the job. Are you sure you want to exit?",
                           clear}));
}

TEST_F(WindowTest, EveryEditClearsTheMarkThatAnOpenedBatchLeaves) {
    const QString batch = batchFile("\"/d/a.doc\"\r\n\"/d/b.xls\"\r\n");
    const std::function<void()> edits[] = {
        [&] { QTest::keyClicks(text(), "x"); },
        [&] { window().addTypedPath(); }, // adding empties the box, a change too
        [&] { drop({"/d/c.ppt"}); },
        [&] {
            list()->setCurrentRow(0);
            QTest::keyRelease(list(), Qt::Key_Delete);
        }};
    for (const auto& edit : edits) {
        open(batch);
        ASSERT_TRUE(window().skipSaveOffer());
        edit();
        EXPECT_FALSE(window().skipSaveOffer());
    }
    // Saving, clearing an empty box and a cancelled open change nothing; a file given on the
    // command line is opened like one chosen.
    window().openFiles({batch});
    dialogs.script(dataHome.filePath("copy.qpb"));
    window().saveBatchFile();
    prompter.script(PromptAnswer::Yes);
    window().clearList();
    open(std::nullopt);
    EXPECT_TRUE(window().skipSaveOffer());
}

TEST_F(WindowTest, AFullListRefusesMoreAndKeepsWhatItHas) {
    for (int i = 0; i < MainWindow::MaxEntries - 1; ++i)
        list()->addItem(QStringLiteral("/d/%1.doc").arg(i));
    add("/d/last.doc");
    for (int refusal = 0; refusal < 3; ++refusal)
        prompter.script(PromptAnswer::Ok);
    add("/d/one-too-many.doc");
    EXPECT_EQ(text()->text(), "/d/one-too-many.doc") << "the typed path is not lost";
    drop({"/d/x.doc", "/d/y.doc"}); // one message, and the drop stops
    open(batchFile("\"/d/p.doc\"\r\n"));
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_TRUE(boxes[0].startsWith("box Batch list full...") && boxes[0].contains("32767"));
    EXPECT_TRUE(boxes[2].startsWith("box Error...") && boxes[2].contains("32767"));
    EXPECT_FALSE(window().skipSaveOffer());
    EXPECT_EQ(entries().size(), MainWindow::MaxEntries);
    EXPECT_EQ(entries().last(), "/d/last.doc");
}

// The run through the real window on the offscreen platform, driven through its widgets.
TEST_F(WindowTest, TheUserSeesEachEntryPreparedWithItsProgressAndThenTheReadyWindow) {
    int paintsBefore = 0;
    QStringList seen;
    office.onOpen = [&] {
        EXPECT_GT(statusPaints, paintsBefore) << "the new status was not painted";
        paintsBefore = statusPaints;
        EXPECT_TRUE(bar()->isVisible() && find("progressLabel")->isVisible());
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        seen << QStringLiteral("%1 %2-%3 %4")
                    .arg(bar()->value())
                    .arg(bar()->minimum())
                    .arg(bar()->maximum())
                    .arg(status());
    };
    print({"/a.doc", "/b.xls"}, PromptAnswer::No);
    print({"/c.ppt"}, PromptAnswer::No); // after a longer run, one entry fills the bar
    EXPECT_EQ(seen, (QStringList{"1 1-2 Preparing /a.doc for printing.",
                                 "2 1-2 Preparing /b.xls for printing.",
                                 "1 0-1 Preparing /c.ppt for printing."}));
    office.fail("print /d.doc", AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
    print({"/d.doc"}, PromptAnswer::Ok); // and the pointer is restored after a failure
}

TEST_F(WindowTest, TheWordWaitTakesInputButNotASecondRunAndDoesNotBurnAProcessor) {
    office.pendingLooks = 30;
    QString typedDuringWait;
    office.onOpen = [&] {
        if (officeJournal.last() == "bind /next.ppt") {
            typedDuringWait = text()->text();
            return;
        }
        // Events as the platform delivers them: handled only if the wait yields.
        QWidget* print = find("printButton");
        const QPointF at = QRectF(print->rect()).center();
        QCoreApplication::postEvent(text(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Z, {}, "z"));
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                print, new QMouseEvent(type, at, print->mapToGlobal(at), Qt::LeftButton, {}, {}));
    };
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer wall;
    wall.start();
    print({"/long.doc", "/next.ppt"}, PromptAnswer::No);
    const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    EXPECT_GE(wall.elapsed(), 200) << "the wait did not wait for events at all";
    EXPECT_LT(cpuMs, 0.5 * double(wall.elapsed())) << "cpu " << cpuMs << " ms";
    EXPECT_EQ(typedDuringWait, "z");
    EXPECT_EQ(officeJournal.filter("bind").size(), 2) << "a second run printed again";
}

} // namespace
} // namespace qp::test
