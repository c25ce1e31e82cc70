#include "app/CommandLine.h"
#include "support/QStringPrinting.h"
#include "support/WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

class ListEditingTest : public ::testing::Test, protected WindowFixture {
protected:
    void SetUp() override {
        prompter.journal = &boxes;
        settings.set("Quirepress/Settings/Acrobat", "/pdf");
        window().runStartupChecks();
    }
    QLineEdit* text() { return find<QLineEdit>("pathEdit"); }
    QListWidget* list() { return find<QListWidget>("batchList"); }
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
    void open(const QString& path) {
        dialogs.script(path);
        window().openBatchFile();
    }
    QStringList boxes;
};

TEST_F(ListEditingTest, AddAppendsAnyNonEmptyTextUnchangedAndBrowseFillsTheBox) {
    for (const char* typed : {"", "   ", "/no/such.txt", "/d/a.doc", "/d/a.doc"})
        add(typed);
    EXPECT_EQ(listEntries(), (QStringList{"   ", "/no/such.txt", "/d/a.doc", "/d/a.doc"}));
    EXPECT_TRUE(text()->text().isEmpty());

    dialogs.script(QStringLiteral("/home/ann/Report 2024.doc"));
    window().browseForFile();
    EXPECT_EQ(text()->text(), "/home/ann/Report 2024.doc");
    EXPECT_EQ(dialogs.requests[0].title + dialogs.requests[0].filter,
              "Open Office FileWord Files (*.doc)|*.doc|Excel Files (*.xls)|*.xls|"
              "Presentation Files (*.ppt)|*.ppt|Pdf Files (*.pdf)|*.pdf");
    dialogs.script(std::nullopt); // a cancel, while cancels are no errors, empties the box
    window().browseForFile();
    EXPECT_TRUE(text()->text().isEmpty());
    open(batchFile("")); // from then on a cancel is an error, and the box keeps its text
    text()->setText("kept");
    dialogs.script(std::nullopt);
    window().browseForFile();
    EXPECT_EQ(text()->text(), "kept");
    EXPECT_EQ(dialogs.requests.back().initDir, batchFolder);
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(ListEditingTest, DropsTakeFilesByTheirLastThreeLettersAndOnlyFiles) {
    prompter.script(PromptAnswer::Ok);
    drop({"/d/Letter.doc", "/d/notes.txt", "/d/SCAN.PDF", "/d/thisisadoc", "/d/b.Xls", "/d/c.ppt"});
    EXPECT_EQ(listEntries(), (QStringList{"/d/Letter.doc", "/d/SCAN.PDF", "/d/thisisadoc",
                                          "/d/b.Xls", "/d/c.ppt"}));
    QMimeData dragged;
    dragged.setText("/d/Letter.doc");
    prompter.script(PromptAnswer::Ok);
    window().addDroppedFiles(&dragged);
    EXPECT_EQ(boxes, (QStringList{"box Improper file format...: File /d/notes.txt is not a "
                                  "supported file.",
                                  "box Not supported...: The selected file is not a supported."}));

    // A real drop on the list reaches the window.
    window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    dragged.setUrls({QUrl::fromLocalFile("/d/dragged.pdf")});
    const QPoint at = list()->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QDragMoveEvent move(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QDropEvent drop(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &drop})
        QApplication::sendEvent(list()->viewport(), event);
    EXPECT_EQ(listEntries().last(), "/d/dragged.pdf");
}

TEST_F(ListEditingTest, DeleteClearAndExitTakeOnlyWhatTheUserMeant) {
    QTest::keyRelease(list(), Qt::Key_Delete); // an empty list: nothing happens
    for (const char* path : {"/1.doc", "/2.doc", "/3.doc"})
        add(path);
    QTest::keyRelease(list(), Qt::Key_Delete); // nothing selected yet
    list()->setCurrentRow(1);
    QTest::keyRelease(list(), Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyRelease(list(), Qt::Key_Delete); // nothing is selected after a removal
    list()->setCurrentRow(0);
    QTest::keyRelease(list(), Qt::Key_Backspace);
    EXPECT_EQ(listEntries(), (QStringList{"/1.doc", "/3.doc"}));

    prompter.script(PromptAnswer::No);
    text()->setText("typed");
    window().clearList();
    prompter.script(PromptAnswer::No);
    window().exitProgram();
    EXPECT_EQ(listEntries().size(), 2);
    EXPECT_EQ(text()->text(), "typed");
    EXPECT_EQ(endProgramCalls, 0);
    prompter.script(PromptAnswer::Yes);
    QTest::mouseClick(find<QWidget>("clearButton"), Qt::LeftButton);
    EXPECT_TRUE(listEntries().isEmpty() && text()->text().isEmpty());
    window().clearList(); // nothing to lose: no questions
    window().exitProgram();
    EXPECT_EQ(endProgramCalls, 1);
    EXPECT_EQ(boxes, (QStringList{"box Clear List...: This will clear your current job. Are you "
                                  "sure you want to do this?",
                                  "box : You haven't run the job. Are you sure you want to exit?",
                                  "box Clear List...: This will clear your current job. Are you "
                                  "sure you want to do this?"}));
}

TEST_F(ListEditingTest, EveryEditClearsTheMarkThatAnOpenedBatchLeaves) {
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
    // Saving, clearing an empty box and a cancelled open change nothing.
    open(batch);
    dialogs.script(dataHome.filePath("copy.qpb"));
    window().saveBatchFile();
    prompter.script(PromptAnswer::Yes);
    window().clearList();
    dialogs.script(std::nullopt);
    window().openBatchFile();
    EXPECT_TRUE(window().skipSaveOffer());
}

TEST_F(ListEditingTest, AFullListRefusesMoreAndKeepsWhatItHas) {
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
    EXPECT_EQ(list()->count(), MainWindow::MaxEntries);
    EXPECT_EQ(listEntries().last(), "/d/last.doc");
}

TEST_F(ListEditingTest, FilesGivenOnTheCommandLineAreAddedAndBatchFilesOpened) {
    const QString batch = batchFile("\"/d/b.pdf\"\r\n", "Monday.QPB");
    window().openFiles(CommandLine::parse({"quirepress", batch}).files);
    EXPECT_TRUE(window().skipSaveOffer()) << "an opened batch is not offered for saving";
    prompter.script(PromptAnswer::Ok);
    window().openFiles(
        CommandLine::parse({"quirepress", "/d/a.doc", dataHome.filePath("none.qpb"), "rel.ppt"})
            .files);
    EXPECT_EQ(listEntries(),
              (QStringList{"/d/b.pdf", "/d/a.doc", QDir::current().absoluteFilePath("rel.ppt")}));
    EXPECT_FALSE(window().skipSaveOffer());
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("box Error...") && boxes[0].contains("none.qpb"));
}

} // namespace
} // namespace qp::test
