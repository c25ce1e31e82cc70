#include "batches/BatchFiles.h"
#include "batches/BatchFile.h"
#include "batches/BatchFileIO.h"
#include "batches/FolderEntries.h"
#include "support/Fakes.h"

#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qp {
namespace {

const QByteArray example = "\"D:\\a.doc\"\r\n\"D:\\b.xls\"\r\n";

TEST(BatchFormat, WritesEntriesBetweenQuotesWithCrLfAndReadsEveryVariantBack) {
    EXPECT_EQ(formatBatch({"D:\\a.doc", "D:\\b.xls"}), example);
    EXPECT_EQ(formatBatch({"C:\\say \"hi\".doc", ""}), "\"C:\\say \"hi\".doc\"\r\n\"\"\r\n");
    EXPECT_EQ(formatBatch({QStringLiteral("/zoë.doc")}), "\"/zo\xC3\xAB.doc\"\r\n");
    const QStringList entries =
        QStringLiteral("D:\\a.doc|/home/zoë/Übersicht 日本語.xls|/tmp/😀.pdf|  pad  |a,b;c\td")
            .split(u'|');
    EXPECT_EQ(parseBatch(formatBatch(entries)), entries);

    const std::pair<QByteArray, QStringList> rows[] = {
        {"\r\n\"\"\r\n\"\"\"\"\"\r\n\"x\"\r\n\r\n", {"x"}}, // empty and all-quote lines
        {"\"C:\\a\"b.doc\"\r\nplain path.doc\r\n", {"C:\\ab.doc", "plain path.doc"}},
        {"\"   \"\r\n   \r\n\" lead \"", {"   ", "   ", " lead "}}, // blanks kept, no last CR LF
        {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
        {"a\r\r\nb\n\n\r", {"a", "b"}}, // CR CR LF: an empty line, not a line holding a CR
        {"\xEF\xBB\xBF\"a.doc\"\r\n", {"a.doc"}},
        {"\"C:\\Caf\xe9\\r\x80sum\xe9.doc\"\r\n\x93q\x94 \x9f",
         {QStringLiteral("C:\\Café\\r€sumé.doc"), QStringLiteral("“q” Ÿ")}},
        // One encoding for the whole file: a Windows file may hold a byte pair that looks like
        // UTF-8, and it must not be read differently from its neighbours.
        {"\xC3\xA9\r\n\xE9\r\n", {QStringLiteral("Ã©"), QStringLiteral("é")}},
        // The five bytes Windows-1252 leaves unassigned become the C1 control of the same value.
        {"\x81\x8D\x8F\x90\x9D\x80", {QStringLiteral("\u0081\u008D\u008F\u0090\u009D€")}},
    };
    for (const auto& [bytes, read] : rows)
        EXPECT_EQ(parseBatch(bytes), read) << bytes.toHex(' ').toStdString();
    // Not UTF-8: a stray continuation, an overlong form, a surrogate, a code above U+10FFFF, a
    // sequence cut short by the end or by ASCII, a five-byte form.
    for (const QByteArray bad :
         {"\x80", "\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82",
          "\xE2\x82x", "\xF8\x88\x80\x80\x80"})
        EXPECT_EQ(parseBatch("\xC3\xA9\r\n" + bad).first(), "Ã©") << bad.toHex(' ').toStdString();
}

class BatchFilesTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray bytes(const QString& name) const { return readFileContents(path(name), 1 << 20); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::System); }
    static QString failure(const std::function<void()>& action) {
        return test::failureOf(action).numberAndDescription();
    }
    QString batchFolder() const { return path("data/Quirepress/BatchBin"); }
    void save(const QStringList& entries, std::optional<QString> chosen) {
        backend.script(chosen);
        BatchFiles::saveBatch(dialog, prompter, batchFolder(), entries);
    }
    bool open(std::optional<QString> chosen) {
        backend.script(chosen);
        return BatchFiles::openBatch(dialog, prompter, batchFolder(),
                                     [this](const QString& entry) { list.append(entry); });
    }
    void TearDown() override { EXPECT_TRUE(backend.allAnswersUsed() && prompter.allAnswersUsed()); }

    QTemporaryDir dir;
    test::FakeFileDialogBackend backend;
    SharedFileDialog dialog{backend};
    test::FakePrompter prompter;
    QStringList list{"kept.doc"};
};

// A lowered file size limit makes a write really fail part way, as on a full disk, for root too.
// One size is written straight through, the other fails only when the buffer is flushed.
TEST_F(BatchFilesTest, AWriteThatFailsPartWayLeavesTheOldFileExactlyAsItWas) {
    for (const qsizetype size : {qsizetype(256 * 1024), qsizetype(6000)}) {
        replaceFileContents(path("batch.qpb"), "\"keep me.doc\"\r\n");
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{1024, saved.rlim_max};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
        const QString error =
            failure([&] { replaceFileContents(path("batch.qpb"), QByteArray(size, 'y')); });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(error, "61 Disk full: " + path("batch.qpb")) << size;
        EXPECT_EQ(bytes("batch.qpb"), "\"keep me.doc\"\r\n");
        EXPECT_EQ(files(), QStringList({"batch.qpb"})) << "the partial copy must be removed";
    }
}

TEST_F(BatchFilesTest, RefusesWhatIsNoRegularFileOrCannotBeReachedWithItsOwnError) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.qpb"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.qpb")).constData(), 0600), 0);
    // Sparse, and too large to fit in memory: it must be refused before any of it is read.
    replaceFileContents(path("huge.qpb"), "");
    ASSERT_EQ(::truncate(QFile::encodeName(path("huge.qpb")).constData(), qint64(1) << 43), 0);
    const QString notRegular = "75 Path/File access error (not a regular file)";
    const std::tuple<bool, QString, QString> rows[] = {
        {true, path("missing/b.qpb"), "76 Path not found"},
        {true, "/sys/quirepress-test.qpb", "70 Permission denied"}, // even for root
        {true, path("folder.qpb"), notRegular},
        {true, path("pipe.qpb"), notRegular},
        {false, path("none.qpb"), "53 File not found"},
        {false, dir.path(), notRegular},
        {false, path("pipe.qpb"), notRegular},            // without waiting for a writer
        {false, "/proc/self/mem", "57 Device I/O error"}, // it opens, then the read fails
        {false, path("huge.qpb"), "7 Out of memory"},
    };
    for (const auto& [write, file, error] : rows) {
        const QString got = failure([&, write = write, file = file] {
            write ? replaceFileContents(file, "x") : void(readFileContents(file, 1 << 20));
        });
        EXPECT_TRUE(got.startsWith(error + ": " + file)) << got.toStdString();
    }
    EXPECT_TRUE(QFileInfo(path("folder.qpb")).isDir() && !QFileInfo::exists(path("missing")));
}

// The dialog starts in the user's own folder (made for its owner only), with no name left
// from its last use; a file is replaced whole through a link, keeping its mode.
TEST_F(BatchFilesTest, SavesThroughALinkAndOpensAppendingToTheList) {
    replaceFileContents(path("shared.qpb"), QByteArray(5000, 'x'));
    ASSERT_EQ(::chmod(QFile::encodeName(path("shared.qpb")).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(path("shared.qpb"), path("two.qpb")));
    dialog.setFileName("left over");
    save({"D:\\a.doc", "D:\\b.xls"}, path("two.qpb"));
    EXPECT_EQ(bytes("shared.qpb"), example);
    EXPECT_TRUE(QFileInfo(path("two.qpb")).isSymLink());
    EXPECT_EQ(int(QFileInfo(path("shared.qpb")).permissions() & 0x7077), 0x6040);
    EXPECT_EQ(int(QFileInfo(batchFolder()).permissions() & 0x7077), 0x7000);
    EXPECT_TRUE(open(path("two.qpb")));
    save({}, path("empty"));
    EXPECT_EQ(bytes("empty"), QByteArray());
    EXPECT_TRUE(open(path("empty")));
    EXPECT_EQ(list, QStringList({"kept.doc", "D:\\a.doc", "D:\\b.xls"}));
    for (const FileDialogRequest& request : backend.requests)
        EXPECT_EQ(request.initDir + request.fileName, batchFolder());
}

// A failure shows number and description and keeps what was listed (the window's tests show
// an open's). A cancel is silent: before a batch was opened it comes back as an empty file name,
// after it as error 32755. A save leaves that setting alone, an open turns it on.
TEST_F(BatchFilesTest, FailuresAreShownAndCancelsAreSilent) {
    for (const bool throwsAlready : {false, true}) {
        dialog.setThrowsOnCancel(throwsAlready);
        save({"a.doc"}, std::nullopt);
        EXPECT_EQ(dialog.throwsOnCancel(), throwsAlready);
        dialog.setThrowsOnCancel(throwsAlready);
        EXPECT_FALSE(open(std::nullopt));
        EXPECT_TRUE(dialog.throwsOnCancel());
    }
    EXPECT_EQ(files(), QStringList());
    prompter.script(PromptAnswer::Ok);
    save({"a.doc"}, path("no such folder/b.qpb"));
    ASSERT_EQ(prompter.boxes.size(), 1u);
    const test::FakePrompter::Box& box = prompter.boxes[0];
    EXPECT_TRUE(box.title == "Error..." && box.buttons == PromptButtons::Ok &&
                box.icon == PromptIcon::Critical);
    EXPECT_EQ(box.text, "76 Path not found: " + path("no such folder/b.qpb"));
    EXPECT_EQ(list, QStringList{"kept.doc"});
}

// A folder as a file manager lists it by name: numbers as numbers, case aside; only printable
// files, hidden ones and others passed over; subfolders only when asked, after their parent's
// files, in the same order.
TEST(FolderEntries, PrintableFilesInNaturalOrderAndSubfoldersDepthFirst) {
    QTemporaryDir root;
    for (const char* name :
         {"10.xls", "2.PDF", "1.doc", "notes.txt", "b.Ppt", "A.doc", ".h.pdf", "c.OTP",
          "b.docx.bak", "B.xlsm", "sub/2.pdf", "sub/deeper/1.doc", "Sub2/x.pdf", "sub/readme"})
        test::writeFile(root.filePath(name), {});
    QDir().mkpath(root.filePath("empty"));
    const auto relative = [&](const QStringList& paths) {
        QStringList names;
        for (const QString& path : paths)
            names << QDir(root.path()).relativeFilePath(path);
        return names;
    };
    const QStringList top = {"1.doc", "2.PDF", "10.xls", "A.doc", "b.Ppt", "B.xlsm", "c.OTP"};
    EXPECT_EQ(relative(FolderEntries::printableFiles(root.path(), false)), top);
    EXPECT_EQ(relative(FolderEntries::printableFiles(root.path(), true)),
              (top + QStringList{"sub/2.pdf", "sub/deeper/1.doc", "Sub2/x.pdf"}));
    EXPECT_TRUE(FolderEntries::printableFiles(root.filePath("empty"), true).isEmpty());
}

} // namespace
} // namespace qp
