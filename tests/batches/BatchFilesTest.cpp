#include "batches/BatchFiles.h"
#include "BatchTestSupport.h"
#include "core/AppError.h"
#include "support/Fakes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace qp {
namespace {

using test::FakeFileDialogBackend;
using test::FakePrompter;

const QString batchFilter = QStringLiteral("Quirepress Files (*.qpb)|*.qpb");

// One main window's worth of collaborators: the shared dialog, the message boxes and the list.
class BatchFileActions : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString batchFolder() const { return dir.filePath("data/Quirepress/BatchBin"); }

    void save(const QStringList& entries) {
        BatchFiles::saveBatch(dialog, prompter, batchFolder(), entries);
    }
    bool open() {
        return BatchFiles::openBatch(dialog, prompter, batchFolder(),
                                     [this](const QString& entry) { list.append(entry); });
    }

    void expectOneErrorBox(const QString& text) {
        ASSERT_EQ(prompter.boxes.size(), 1u);
        EXPECT_EQ(prompter.boxes[0].text, text);
        EXPECT_EQ(prompter.boxes[0].title, "Error...");
        EXPECT_EQ(prompter.boxes[0].buttons, PromptButtons::Ok);
        EXPECT_EQ(prompter.boxes[0].icon, PromptIcon::Critical);
    }

    void TearDown() override {
        EXPECT_TRUE(backend.allAnswersUsed());
        EXPECT_TRUE(prompter.allAnswersUsed());
    }

    QTemporaryDir dir;
    FakeFileDialogBackend backend;
    SharedFileDialog dialog{backend};
    FakePrompter prompter;
    QStringList list;
};

TEST_F(BatchFileActions, SavesTheExampleListAsItsExactBytesAndOpensItBack) {
    backend.script(path("two.qpb"));
    save({QStringLiteral("D:\\a.doc"), QStringLiteral("D:\\b.xls")});
    EXPECT_EQ(test::readBytes(path("two.qpb")),
              QByteArray::fromHex("22443A5C612E646F63220D0A22443A5C622E786C73220D0A"));

    backend.script(path("two.qpb"));
    EXPECT_TRUE(open());
    EXPECT_EQ(list, QStringList({QStringLiteral("D:\\a.doc"), QStringLiteral("D:\\b.xls")}));
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(BatchFileActions, PreparesTheSharedDialogForEachUse) {
    dialog.setFileName("left over");
    backend.script(path("s.qpb"));
    save({"x.doc"});
    backend.script(path("s.qpb"));
    open();

    ASSERT_EQ(backend.requests.size(), 2u);
    const FileDialogRequest& saveRequest = backend.requests[0];
    EXPECT_EQ(saveRequest.mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(saveRequest.title, "Save Quirepress");
    EXPECT_EQ(saveRequest.filter, batchFilter);
    EXPECT_EQ(saveRequest.initDir, batchFolder());
    EXPECT_EQ(saveRequest.fileName, "");
    const FileDialogRequest& openRequest = backend.requests[1];
    EXPECT_EQ(openRequest.mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(openRequest.title, "Open Quirepress");
    EXPECT_EQ(openRequest.filter, batchFilter);
    EXPECT_EQ(openRequest.initDir, batchFolder());
    EXPECT_EQ(openRequest.fileName, "");
    // The dialog keeps what its last use left, for the uses that do not set it themselves.
    EXPECT_EQ(dialog.fileName(), path("s.qpb"));
    EXPECT_TRUE(dialog.throwsOnCancel());
}

TEST_F(BatchFileActions, SaveLeavesThrowingOnCancelAsThePreviousUseSetIt) {
    backend.script(path("a.qpb"));
    save({"a.doc"});
    EXPECT_FALSE(dialog.throwsOnCancel());
    dialog.setThrowsOnCancel(true);
    backend.script(path("b.qpb"));
    save({"b.doc"});
    EXPECT_TRUE(dialog.throwsOnCancel());
}

TEST_F(BatchFileActions, CancellingTheSaveIsSilentBothWays) {
    // First use: the dialog returns normally with an empty file name.
    backend.script(std::nullopt);
    save({"a.doc"});
    // After a batch was opened the dialog reports the cancel as error 32755.
    backend.script(std::nullopt);
    EXPECT_FALSE(open());
    ASSERT_TRUE(dialog.throwsOnCancel());
    backend.script(std::nullopt);
    save({"a.doc"});

    EXPECT_TRUE(prompter.boxes.empty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(BatchFileActions, CancellingTheOpenIsSilentAndAddsNothingWhetherItThrowsOnCancelOrNot) {
    list = QStringList({"kept.doc"});
    for (const bool cancelError : {false, true}) {
        dialog.setThrowsOnCancel(cancelError);
        backend.script(std::nullopt);
        EXPECT_FALSE(open());
        EXPECT_TRUE(dialog.throwsOnCancel());
    }
    EXPECT_EQ(list, QStringList({"kept.doc"}));
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(BatchFileActions, ASaveThatCannotCreateTheFileShowsNumberAndDescription) {
    prompter.script(PromptAnswer::Ok);
    backend.script(path("no such folder/b.qpb"));
    save({"a.doc"});
    expectOneErrorBox("76 Path not found: " + path("no such folder/b.qpb"));
    EXPECT_FALSE(QFileInfo::exists(path("no such folder")));
}

TEST_F(BatchFileActions, ASaveIntoAFolderNobodyMayWriteShowsPermissionDenied) {
    prompter.script(PromptAnswer::Ok);
    backend.script(QStringLiteral("/sys/quirepress-batch.qpb"));
    save({"a.doc"});
    expectOneErrorBox("70 Permission denied: /sys/quirepress-batch.qpb");
}

TEST_F(BatchFileActions, ASaveThatFailsPartWayKeepsTheOldFileAndSaysSo) {
    const QByteArray old = "\"C:\\old.doc\"\r\n";
    ASSERT_TRUE(test::writeBytes(path("batch.qpb"), old));
    QStringList many;
    for (int i = 0; i < 2000; ++i)
        many.append(QStringLiteral("/srv/documents/report %1.doc").arg(i));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved;
    lowered.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    prompter.script(PromptAnswer::Ok);
    backend.script(path("batch.qpb"));
    save(many);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    expectOneErrorBox("61 Disk full: " + path("batch.qpb"));
    EXPECT_EQ(test::readBytes(path("batch.qpb")), old);
}

TEST_F(BatchFileActions, SavingOverAnOldBatchReplacesItWhole) {
    ASSERT_TRUE(test::writeBytes(path("old.qpb"), "\"1\"\r\n\"2\"\r\n\"3\"\r\n\"4\"\r\n"));
    backend.script(path("old.qpb"));
    save({"only.doc"});
    EXPECT_EQ(test::readBytes(path("old.qpb")), QByteArray("\"only.doc\"\r\n"));
    EXPECT_TRUE(prompter.boxes.empty());
}

TEST_F(BatchFileActions, KeepsANameTypedWithoutExtensionAndMakesTheUsersOwnBatchFolder) {
    backend.script(path("monday"));
    save({"a.doc"});
    EXPECT_TRUE(QFileInfo(path("monday")).isFile());
    EXPECT_FALSE(QFileInfo::exists(path("monday.qpb")));
    const QFileInfo folder(batchFolder());
    EXPECT_TRUE(folder.isDir());
    // Owner only: batches name the documents their user prints.
    EXPECT_EQ(int(folder.permissions() & 0x7077), 0x7000);

    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(BatchFiles::userBatchFolder(), "/srv/data/Quirepress/BatchBin");
    qputenv("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(BatchFiles::userBatchFolder(),
              QDir::homePath() + "/.local/share/Quirepress/BatchBin");
    qputenv("XDG_DATA_HOME", dataHome);
}

TEST_F(BatchFileActions, SavesAnEmptyListAsAnEmptyFileThatOpensAsTrue) {
    backend.script(path("empty.qpb"));
    save({});
    EXPECT_EQ(QFileInfo(path("empty.qpb")).size(), 0);

    list = QStringList({"already.doc"});
    backend.script(path("empty.qpb"));
    EXPECT_TRUE(open());
    EXPECT_EQ(list, QStringList({"already.doc"}));
}

TEST_F(BatchFileActions, OpeningAppendsAfterTheEntriesAlreadyListed) {
    ASSERT_TRUE(test::writeBytes(path("b.qpb"), "\"b.doc\"\r\n\"a.doc\""));
    list = QStringList({"a.doc"});
    backend.script(path("b.qpb"));
    EXPECT_TRUE(open());
    backend.script(path("b.qpb"));
    EXPECT_TRUE(open());
    EXPECT_EQ(list, QStringList({"a.doc", "b.doc", "a.doc", "b.doc", "a.doc"}));
}

TEST_F(BatchFileActions, OpeningAFileThatDoesNotExistShowsTheErrorAndAddsNothing) {
    list = QStringList({"kept.doc"});
    prompter.script(PromptAnswer::Ok);
    backend.script(path("typed name.qpb"));
    EXPECT_FALSE(open());
    expectOneErrorBox("53 File not found: " + path("typed name.qpb"));
    EXPECT_EQ(list, QStringList({"kept.doc"}));
}

TEST_F(BatchFileActions, AFullListStopsTheOpenAndKeepsWhatWasAdded) {
    ASSERT_TRUE(test::writeBytes(path("three.qpb"), "\"1.doc\"\r\n\"2.doc\"\r\n\"3.doc\"\r\n"));
    prompter.script(PromptAnswer::Ok);
    backend.script(path("three.qpb"));
    const bool result =
        BatchFiles::openBatch(dialog, prompter, batchFolder(), [this](const QString& entry) {
            if (list.size() == 2)
                throw AppError(ErrorNumber::ListFull, QStringLiteral("The batch list is full."));
            list.append(entry);
        });
    EXPECT_FALSE(result);
    expectOneErrorBox("7 The batch list is full.");
    EXPECT_EQ(list, QStringList({"1.doc", "2.doc"}));
}

TEST_F(BatchFileActions, OpensABatchWrittenByTheWindowsVersion) {
    ASSERT_TRUE(test::writeBytes(path("ansi.qpb"), "\"C:\\Caf\xe9\\r\x80sum\xe9.doc\"\r\n"));
    backend.script(path("ansi.qpb"));
    EXPECT_TRUE(open());
    EXPECT_EQ(list, QStringList({QStringLiteral("C:\\Café\\r€sumé.doc")}));
}

TEST_F(BatchFileActions, KeepsEveryNonAsciiPathThroughSaveAndOpen) {
    const QStringList entries = {QStringLiteral("/home/zoë/Übersicht 2026.xls"),
                                 QStringLiteral("/srv/共有/報告書.doc"),
                                 QStringLiteral("/tmp/Ελληνικά 😀.pdf")};
    backend.script(path("unicode.qpb"));
    save(entries);
    backend.script(path("unicode.qpb"));
    EXPECT_TRUE(open());
    EXPECT_EQ(list, entries);
}

} // namespace
} // namespace qp
