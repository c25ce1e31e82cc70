#include "app/CommandLine.h"
#include "support/WindowFixture.h"

#include <QDir>

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

class ListEditingTest : public ::testing::Test {
protected:
    WindowFixture f;
    void SetUp() override {
        f.settings.set("Quirepress/Settings/Acrobat", "/opt/quirepress/quirepress-pdf-server");
        f.window().runStartupChecks();
    }
    QLineEdit* text() { return f.find<QLineEdit>("pathEdit"); }
    QListWidget* list() { return f.find<QListWidget>("batchList"); }
    void add(const QString& path) {
        text()->setText(path);
        f.window().addTypedPath();
    }
    void dropFiles(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        data.setUrls(urls);
        f.window().addDroppedFiles(&data);
    }
    // Opens a batch file through the menu, answering the dialog with `path`.
    void openBatch(const QString& path) {
        f.dialogs.script(path);
        f.window().openBatchFile();
    }
};

TEST_F(ListEditingTest, AddAppendsAnyNonEmptyTextUnchanged) {
    f.window().addTypedPath();
    EXPECT_TRUE(f.listEntries().isEmpty());
    add("   ");
    add("/no/such/file.txt");
    add("/data/a.doc");
    add("/data/a.doc");
    EXPECT_EQ(f.listEntries(),
              (QStringList{"   ", "/no/such/file.txt", "/data/a.doc", "/data/a.doc"}));
    EXPECT_TRUE(text()->text().isEmpty());
}

TEST_F(ListEditingTest, BrowseFillsThePathBoxAndACancelFollowsTheDialogsCancelSetting) {
    text()->setText("kept");
    f.dialogs.script(QStringLiteral("/home/user/Report 2024.doc"));
    f.window().browseForFile();
    const FileDialogRequest& request = f.dialogs.requests.back();
    EXPECT_EQ(request.title, "Open Office File");
    EXPECT_EQ(request.filter, "Word Files (*.doc)|*.doc|Excel Files (*.xls)|*.xls|"
                              "Presentation Files (*.ppt)|*.ppt|Pdf Files (*.pdf)|*.pdf");
    EXPECT_EQ(request.fileName, QString());
    EXPECT_EQ(request.initDir, QString()) << "a first use opens where the platform chooses";
    EXPECT_EQ(text()->text(), "/home/user/Report 2024.doc");
    EXPECT_TRUE(f.listEntries().isEmpty());

    // A cancel while cancels are not errors empties the box.
    f.dialogs.script(std::nullopt);
    f.window().browseForFile();
    EXPECT_TRUE(text()->text().isEmpty());

    // Once a batch was opened, a cancel is an error: the box keeps its text, silently.
    f.dialogs.script(std::nullopt);
    f.window().openBatchFile();
    text()->setText("kept");
    f.dialogs.script(std::nullopt);
    f.window().browseForFile();
    EXPECT_EQ(text()->text(), "kept");
    EXPECT_EQ(f.dialogs.requests.back().initDir, f.batchFolder);
    EXPECT_TRUE(f.prompter.boxes.empty());
}

TEST_F(ListEditingTest, DroppedFilesAreCheckedByTheirLastThreeLetters) {
    f.prompter.script(PromptAnswer::Ok);
    dropFiles({"/d/Letter.doc", "/d/notes.txt", "/d/SCAN.PDF"});
    EXPECT_EQ(f.listEntries(), (QStringList{"/d/Letter.doc", "/d/SCAN.PDF"}));
    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].text, "File /d/notes.txt is not a supported file.");
    EXPECT_EQ(f.prompter.boxes[0].title, "Improper file format...");
    EXPECT_EQ(f.prompter.boxes[0].icon, PromptIcon::Information);

    dropFiles({"/d/OLD.DOC", "/d/thisisadoc", "/d/sheet.Xls", "/d/deck.ppt"});
    EXPECT_EQ(f.listEntries().mid(2),
              (QStringList{"/d/OLD.DOC", "/d/thisisadoc", "/d/sheet.Xls", "/d/deck.ppt"}));
}

TEST_F(ListEditingTest, DroppedTextIsNotAFileList) {
    QMimeData data;
    data.setText("/d/Letter.doc");
    f.prompter.script(PromptAnswer::Ok);
    f.window().addDroppedFiles(&data);
    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].text, "The selected file is not a supported.");
    EXPECT_EQ(f.prompter.boxes[0].title, "Not supported...");
    EXPECT_EQ(f.prompter.boxes[0].icon, PromptIcon::Exclamation);
    EXPECT_TRUE(f.listEntries().isEmpty());
}

TEST_F(ListEditingTest, ARealDropOnTheListReachesTheHandler) {
    f.window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.window()));
    auto* viewport = list()->viewport();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/d/dragged.pdf")});
    const QPoint at = viewport->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    EXPECT_TRUE(move.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    EXPECT_EQ(f.listEntries(), QStringList{"/d/dragged.pdf"});
}

TEST_F(ListEditingTest, DeleteRemovesTheSelectedEntryOnly) {
    QTest::keyRelease(list(), Qt::Key_Delete); // empty list: nothing happens
    for (const char* p : {"/1.doc", "/2.doc", "/3.doc", "/4.doc", "/5.doc"})
        add(p);
    QTest::keyRelease(list(), Qt::Key_Delete); // nothing selected yet
    EXPECT_EQ(f.listEntries().size(), 5);

    list()->setCurrentRow(2);
    QTest::keyRelease(list(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(f.listEntries(), (QStringList{"/1.doc", "/2.doc", "/4.doc", "/5.doc"}));
    QTest::keyRelease(list(), Qt::Key_Delete); // nothing is selected after a removal
    EXPECT_EQ(f.listEntries().size(), 4);
    list()->setCurrentRow(3);
    QTest::keyRelease(list(), Qt::Key_Backspace);
    EXPECT_EQ(f.listEntries().size(), 4);
}

TEST_F(ListEditingTest, ClearAsksOnlyWhenThereIsSomethingToLose) {
    text()->setText("typed");
    f.window().clearList();
    EXPECT_TRUE(f.prompter.boxes.empty());
    EXPECT_TRUE(text()->text().isEmpty());

    add("/a.doc");
    text()->setText("typed");
    f.prompter.script(PromptAnswer::No);
    f.window().clearList();
    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].text,
              "This will clear your current job. Are you sure you want to do this?");
    EXPECT_EQ(f.prompter.boxes[0].title, "Clear List...");
    EXPECT_EQ(f.prompter.boxes[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(f.prompter.boxes[0].icon, PromptIcon::Exclamation);
    EXPECT_EQ(f.listEntries(), QStringList{"/a.doc"});
    EXPECT_EQ(text()->text(), "typed");

    f.prompter.script(PromptAnswer::Yes);
    f.find<QWidget>("clearButton")->metaObject(); // the picture button goes the same way
    QTest::mouseClick(f.find<QWidget>("clearButton"), Qt::LeftButton);
    EXPECT_TRUE(f.listEntries().isEmpty());
    EXPECT_TRUE(text()->text().isEmpty());
}

TEST_F(ListEditingTest, ExitAsksBeforeLeavingAListThatWasNotRun) {
    f.window().exitProgram();
    EXPECT_EQ(f.endProgramCalls, 1);
    EXPECT_TRUE(f.prompter.boxes.empty());

    add("/a.doc");
    f.prompter.script(PromptAnswer::No);
    f.window().exitProgram();
    EXPECT_EQ(f.endProgramCalls, 1);
    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].text, "You haven't run the job. Are you sure you want to exit?");
    EXPECT_EQ(f.prompter.boxes[0].title, QString()); // the application's own title
    EXPECT_EQ(f.prompter.boxes[0].icon, PromptIcon::Critical);
    EXPECT_EQ(f.listEntries(), QStringList{"/a.doc"});

    f.prompter.script(PromptAnswer::Yes);
    f.window().exitProgram();
    EXPECT_EQ(f.endProgramCalls, 2);
}

TEST_F(ListEditingTest, EveryEditClearsTheFlagThatAnOpenedBatchSets) {
    QTemporaryDir dir;
    const QString batch = dir.filePath("week.qpb");
    QFile file(batch);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"/d/a.doc\"\r\n\"/d/b.xls\"\r\n");
    file.close();

    const auto reopen = [&] {
        openBatch(batch);
        ASSERT_TRUE(f.window().skipSaveOffer());
    };
    reopen();
    EXPECT_EQ(f.listEntries(), (QStringList{"/d/a.doc", "/d/b.xls"}));
    QTest::keyClicks(text(), "x");
    EXPECT_FALSE(f.window().skipSaveOffer());

    reopen();
    f.window().addTypedPath(); // adding empties the box: that change clears it too
    EXPECT_FALSE(f.window().skipSaveOffer());

    reopen();
    dropFiles({"/d/c.ppt"});
    EXPECT_FALSE(f.window().skipSaveOffer());

    reopen();
    list()->setCurrentRow(0);
    QTest::keyRelease(list(), Qt::Key_Delete);
    EXPECT_FALSE(f.window().skipSaveOffer());

    // Saving and clearing an empty text box leave it as it is; a failed open too.
    reopen();
    f.dialogs.script(dir.filePath("copy.qpb"));
    f.window().saveBatchFile();
    EXPECT_TRUE(f.window().skipSaveOffer());
    f.prompter.script(PromptAnswer::Yes);
    f.window().clearList();
    EXPECT_TRUE(f.window().skipSaveOffer());
    f.dialogs.script(std::nullopt);
    f.window().openBatchFile();
    EXPECT_TRUE(f.window().skipSaveOffer());
}

TEST_F(ListEditingTest, AFullListRefusesMoreEntriesAndKeepsWhatItHas) {
    QStringList many;
    for (int i = 0; i < MainWindow::MaxEntries - 1; ++i)
        many << QStringLiteral("/d/%1.doc").arg(i);
    list()->addItems(many);

    add("/d/last.doc");
    EXPECT_EQ(list()->count(), MainWindow::MaxEntries);

    f.prompter.script(PromptAnswer::Ok);
    add("/d/one-too-many.doc");
    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].title, "Batch list full...");
    EXPECT_TRUE(f.prompter.boxes[0].text.contains("32767"));
    EXPECT_EQ(text()->text(), "/d/one-too-many.doc") << "the typed path is not lost";

    f.prompter.script(PromptAnswer::Ok);
    dropFiles({"/d/x.doc", "/d/y.doc"});
    EXPECT_EQ(f.prompter.boxes.size(), 2u) << "one message, and the drop stops";

    QTemporaryDir dir;
    QFile file(dir.filePath("more.qpb"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"/d/p.doc\"\r\n");
    file.close();
    f.prompter.script(PromptAnswer::Ok);
    openBatch(file.fileName());
    ASSERT_EQ(f.prompter.boxes.size(), 3u);
    EXPECT_EQ(f.prompter.boxes[2].title, "Error...");
    EXPECT_TRUE(f.prompter.boxes[2].text.contains("32767"));
    EXPECT_FALSE(f.window().skipSaveOffer());
    EXPECT_EQ(list()->count(), MainWindow::MaxEntries);
    EXPECT_EQ(f.listEntries().last(), "/d/last.doc");
}

} // namespace

TEST_F(ListEditingTest, FilesGivenOnTheCommandLineAreAddedAndBatchFilesOpened) {
    QTemporaryDir dir;
    const QString batch = dir.filePath("Monday.QPB");
    QFile file(batch);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"/d/b.pdf\"\r\n\"/d/c.xls\"\r\n");
    file.close();

    const CommandLine fromDesktop = CommandLine::parse({"quirepress", batch});
    ASSERT_EQ(fromDesktop.mode, CommandLine::Mode::Window);
    f.window().openFiles(fromDesktop.files);
    EXPECT_EQ(f.listEntries(), (QStringList{"/d/b.pdf", "/d/c.xls"}));
    EXPECT_TRUE(f.window().skipSaveOffer()) << "an opened batch is not offered for saving";

    f.prompter.script(PromptAnswer::Ok);
    const CommandLine typed =
        CommandLine::parse({"quirepress", "/d/a.doc", dir.filePath("none.qpb"), "rel.ppt"});
    f.window().openFiles(typed.files);
    EXPECT_EQ(f.listEntries(), (QStringList{"/d/b.pdf", "/d/c.xls", "/d/a.doc",
                                            QDir::current().absoluteFilePath("rel.ppt")}));
    EXPECT_FALSE(f.window().skipSaveOffer());
    ASSERT_EQ(f.prompter.boxes.size(), 1u);
    EXPECT_EQ(f.prompter.boxes[0].title, "Error...");
    EXPECT_TRUE(f.prompter.boxes[0].text.contains("none.qpb"));
}
