#include "batches/BatchFiles.h"
#include "batches/BatchFile.h"
#include "batches/BatchFileIO.h"
#include "batches/LegacyText.h"
#include "support/Fakes.h"
#include "support/QStringPrinting.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qp {
namespace {

const QByteArray example = QByteArray::fromHex("22443A5C612E646F63220D0A22443A5C622E786C73220D0A");

TEST(BatchFormat, WritesEntriesUnchangedBetweenQuotesWithCrLfAndReadsThemBack) {
    const std::pair<QStringList, QByteArray> rows[] = {
        {{"D:\\a.doc", "D:\\b.xls"}, example},
        {{}, ""},
        {{"C:\\say \"hi\".doc", "a,b.doc", ""},
         "\"C:\\say \"hi\".doc\"\r\n\"a,b.doc\"\r\n\"\"\r\n"},
        {{QStringLiteral("/home/zoë/Café.doc")}, "\"/home/zo\xC3\xAB/Caf\xC3\xA9.doc\"\r\n"},
    };
    for (const auto& [entries, bytes] : rows)
        EXPECT_EQ(formatBatch(entries), bytes);
    const QStringList entries =
        QStringLiteral(
            "D:\\a.doc|/home/zoë/Übersicht 日本語.xls|/tmp/😀.pdf|  pad  |a,b;c\td|D:\\a.doc")
            .split(u'|');
    EXPECT_EQ(parseBatch(formatBatch(entries)), entries);
    EXPECT_EQ(parseBatch(formatBatch({"x\"y\".doc", "", "\"\""})), QStringList({"xy.doc"}));
}

TEST(BatchReader, ReadsEveryLineEndQuoteAndEncoding) {
    const std::pair<QByteArray, QStringList> rows[] = {
        {example, {"D:\\a.doc", "D:\\b.xls"}},
        {"\r\n\"\"\r\n\"\"\"\"\"\r\n\"x\"\r\n\r\n", {"x"}}, // empty and all-quote lines
        {"\"C:\\a\"b.doc\"\r\nplain path.doc\r\n", {"C:\\ab.doc", "plain path.doc"}},
        {"\"   \"\r\n   \r\n\" lead \"", {"   ", "   ", " lead "}}, // blanks kept, no last CR LF
        {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
        {"a\r\r\nb\n\n\r", {"a", "b"}}, // CR CR LF: an empty line, not a line holding a CR
        {"", {}},
        {"\xEF\xBB\xBF", {}},
        {"\xEF\xBB\xBF\"a.doc\"\r\n", {"a.doc"}},
        {"\xEF\xBB\xBF\xEF\xBB\xBFz", {QString(QChar(0xFEFF)) + u'z'}}, // only the first mark
        {"\"C:\\Caf\xe9\\r\x80sum\xe9.doc\"\r\n\x93q\x94 \x9f",
         {QStringLiteral("C:\\Café\\r€sumé.doc"), QStringLiteral("“q” Ÿ")}},
        // The encoding is one for the whole file: a Windows file may hold a byte pair that
        // looks like UTF-8, and it must not be read differently from its neighbours.
        {"\xC3\xA9\r\n\xE9\r\n", {QStringLiteral("Ã©"), QStringLiteral("é")}},
    };
    for (const auto& [bytes, entries] : rows)
        EXPECT_EQ(parseBatch(bytes), entries) << bytes.toHex(' ').toStdString();
}

TEST(LegacyText, TellsWellFormedUtf8AndDecodesWindows1252KeepingEveryByte) {
    // Either side of the surrogates is fine; then a stray continuation, overlong NUL and slash,
    // a surrogate, above U+10FFFF, cut short at the end and by ASCII, a five-byte form.
    for (const char* good :
         {"", "plain\r\n", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
          "\xED\x9F\xBF\xEE\x80\x80"})
        EXPECT_TRUE(isWellFormedUtf8(good)) << QByteArray(good).toHex(' ').toStdString();
    for (const char* bad : {"\x80", "\xC0\x80", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xE2\x82", "\xE2\x82x", "\xF8\x88\x80\x80\x80", "Caf\xe9"})
        EXPECT_FALSE(isWellFormedUtf8(bad)) << QByteArray(bad).toHex(' ').toStdString();

    // The five bytes Windows-1252 leaves unassigned become the C1 control of the same value.
    EXPECT_EQ(decodeWindows1252("\x80\x81\x85\x8A\x8D\x8F\x90\x91\x96\x99\x9D\x9F\xA0\xE9\xFF A"),
              QStringLiteral("€\u0081…Š\u008D\u008F\u0090‘–™\u009DŸ\u00A0éÿ A"));
    QByteArray all(256, 0);
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    const QString text = decodeWindows1252(all);
    EXPECT_EQ(QSet<QChar>(text.begin(), text.end()).size(), 256);
}

constexpr qint64 limit = 1 << 20;

class BatchFilesTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray bytes(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>";
    }
    void put(const QString& name, const QByteArray& bytes) {
        replaceFileContents(path(name), bytes);
    }
    QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    // The AppError `action` throws as "number description"; empty when it succeeds.
    template <typename Action> static QString failure(Action&& action) {
        try {
            action();
        } catch (const AppError& error) {
            return QString::number(error.number()) + u' ' + error.description();
        }
        return {};
    }

    QString batchFolder() const { return path("data/Quirepress/BatchBin"); }
    void save(const QStringList& entries) {
        BatchFiles::saveBatch(dialog, prompter, batchFolder(), entries);
    }
    bool open() {
        return BatchFiles::openBatch(dialog, prompter, batchFolder(),
                                     [this](const QString& entry) { list.append(entry); });
    }
    void expectErrorBox(const QString& text) {
        ASSERT_EQ(prompter.boxes.size(), 1u);
        const test::FakePrompter::Box box = prompter.boxes[0];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.title, "Error...");
        EXPECT_TRUE(box.buttons == PromptButtons::Ok && box.icon == PromptIcon::Critical);
        prompter.boxes.clear();
    }
    void TearDown() override { EXPECT_TRUE(backend.allAnswersUsed() && prompter.allAnswersUsed()); }

    QTemporaryDir dir;
    test::FakeFileDialogBackend backend;
    SharedFileDialog dialog{backend};
    test::FakePrompter prompter;
    QStringList list;
};

// A lowered file size limit makes a write really fail part way, as on a full disk, for root too.
// One size is written straight through, the other fails only when the buffer is flushed.
TEST_F(BatchFilesTest, AWriteThatFailsPartWayLeavesTheOldFileExactlyAsItWas) {
    for (const qsizetype size : {qsizetype(256 * 1024), qsizetype(6000)}) {
        put("batch.qpb", "\"keep me.doc\"\r\n");
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{1024, saved.rlim_max};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
        const QString error = failure([&] { put("batch.qpb", QByteArray(size, 'y')); });
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(error, "61 Disk full: " + path("batch.qpb")) << size;
        EXPECT_EQ(bytes("batch.qpb"), "\"keep me.doc\"\r\n");
        EXPECT_EQ(files(), QStringList({"batch.qpb"})) << "the partial copy must be removed";
    }
}

TEST_F(BatchFilesTest, RefusesWhatIsNoRegularFileOrCannotBeReachedWithItsOwnError) {
    put("plain", "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.qpb"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.qpb")).constData(), 0600), 0);
    // Sparse, and too large to fit in memory: it must be refused before any of it is read.
    put("huge.qpb", "");
    ASSERT_EQ(::truncate(QFile::encodeName(path("huge.qpb")).constData(), qint64(1) << 43), 0);
    const QString notRegular = "75 Path/File access error (not a regular file)";
    const std::tuple<bool, QString, QString> rows[] = {
        {true, path("missing/b.qpb"), "76 Path not found"},
        {true, path("plain/b.qpb"), "76 Path not found"},
        {true, "/sys/quirepress-test.qpb", "70 Permission denied"}, // even for root
        {true, path("folder.qpb"), notRegular},
        {true, path("pipe.qpb"), notRegular},
        {false, path("none.qpb"), "53 File not found"},
        {false, path("nowhere/none.qpb"), "76 Path not found"},
        {false, dir.path(), notRegular},
        {false, path("pipe.qpb"), notRegular},            // without waiting for a writer
        {false, "/proc/self/mem", "57 Device I/O error"}, // it opens, then the read fails
        {false, path("huge.qpb"), "7 Out of memory"},
    };
    for (const auto& [write, file, error] : rows) {
        const QString got = failure([&, write = write, file = file] {
            write ? replaceFileContents(file, "x") : void(readFileContents(file, limit));
        });
        EXPECT_TRUE(got.startsWith(error + ": " + file)) << got.toStdString();
    }
    EXPECT_EQ(readFileContents(path("plain"), 1), "x");
    EXPECT_TRUE(QFileInfo(path("folder.qpb")).isDir());
    EXPECT_FALSE(QFileInfo(path("pipe.qpb")).isFile());
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
}

TEST_F(BatchFilesTest, SavesOverALinkedFileAndOpensThroughTheDialogPreparedForEachUse) {
    put("shared.qpb", QByteArray(5000, 'x'));
    ASSERT_EQ(::chmod(QFile::encodeName(path("shared.qpb")).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(path("shared.qpb"), path("two.qpb")));
    dialog.setFileName("left over");
    backend.script(path("two.qpb"));
    save({"D:\\a.doc", "D:\\b.xls"});
    EXPECT_FALSE(dialog.throwsOnCancel());
    // Replaced whole, through the link, keeping the file's mode.
    EXPECT_EQ(bytes("shared.qpb"), example);
    EXPECT_TRUE(QFileInfo(path("two.qpb")).isSymLink());
    EXPECT_EQ(int(QFileInfo(path("shared.qpb")).permissions() & 0x7077), 0x6040);
    list = QStringList({"kept.doc"});
    for (int twice = 0; twice < 2; ++twice) {
        backend.script(path("two.qpb"));
        EXPECT_TRUE(open());
    }
    EXPECT_EQ(list, QStringList({"kept.doc", "D:\\a.doc", "D:\\b.xls", "D:\\a.doc", "D:\\b.xls"}));
    ASSERT_EQ(backend.requests.size(), 3u);
    EXPECT_EQ(backend.requests[0].mode, FileDialogRequest::Mode::Save);
    for (const FileDialogRequest& request : backend.requests) {
        const bool saving = request.mode == FileDialogRequest::Mode::Save;
        EXPECT_EQ(request.title, saving ? "Save Quirepress" : "Open Quirepress");
        EXPECT_EQ(request.filter, "Quirepress Files (*.qpb)|*.qpb");
        EXPECT_EQ(request.initDir, batchFolder());
        EXPECT_EQ(request.fileName, "");
    }
    // The dialog keeps what its last use left, for the uses that do not set it themselves.
    EXPECT_EQ(dialog.fileName(), path("two.qpb"));
    EXPECT_TRUE(dialog.throwsOnCancel());
}

// Before a batch was opened a cancel comes back as an empty file name, after it as error 32755.
TEST_F(BatchFilesTest, ACancelEitherWayIsSilentAndChangesNothing) {
    list = QStringList({"kept.doc"});
    for (const bool throwsAlready : {false, true}) {
        dialog.setThrowsOnCancel(throwsAlready);
        backend.script(std::nullopt);
        save({"a.doc"});
        EXPECT_EQ(dialog.throwsOnCancel(), throwsAlready); // a save leaves that setting alone
        dialog.setThrowsOnCancel(throwsAlready);
        backend.script(std::nullopt);
        EXPECT_FALSE(open());
        EXPECT_TRUE(dialog.throwsOnCancel());
    }
    EXPECT_TRUE(prompter.boxes.empty());
    EXPECT_EQ(list, QStringList({"kept.doc"}));
    EXPECT_EQ(files(), QStringList());
}

TEST_F(BatchFilesTest, FailuresShowNumberAndDescriptionAndKeepWhatWasListed) {
    for (int box = 0; box < 3; ++box)
        prompter.script(PromptAnswer::Ok);
    backend.script(path("no such folder/b.qpb"));
    save({"a.doc"});
    expectErrorBox("76 Path not found: " + path("no such folder/b.qpb"));

    list = QStringList({"kept.doc"});
    backend.script(path("typed name.qpb"));
    EXPECT_FALSE(open());
    expectErrorBox("53 File not found: " + path("typed name.qpb"));

    put("three.qpb", "1.doc\r\n2.doc\r\n3.doc\r\n");
    backend.script(path("three.qpb"));
    EXPECT_FALSE(BatchFiles::openBatch(dialog, prompter, batchFolder(), [this](const QString& e) {
        if (list.size() == 3)
            throw AppError(ErrorNumber::ListFull, QStringLiteral("The batch list is full."));
        list.append(e);
    }));
    expectErrorBox("7 The batch list is full.");
    EXPECT_EQ(list, QStringList({"kept.doc", "1.doc", "2.doc"}));
}

TEST_F(BatchFilesTest, SavesUnderTheTypedNameIntoTheUsersOwnFolderAndAnEmptyListAsNoBytes) {
    list = QStringList({"kept.doc"});
    backend.script(path("monday"));
    save({});
    backend.script(path("monday"));
    EXPECT_TRUE(open());
    EXPECT_EQ(list, QStringList({"kept.doc"}));
    EXPECT_EQ(files(), QStringList({"monday"}));
    EXPECT_EQ(bytes("monday"), QByteArray());
    // Owner only: batches name the documents their user prints.
    EXPECT_EQ(int(QFileInfo(batchFolder()).permissions() & 0x7077), 0x7000);

    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/srv/data");
    EXPECT_EQ(BatchFiles::userBatchFolder(), "/srv/data/Quirepress/BatchBin");
    qputenv("XDG_DATA_HOME", "relative/data"); // ignored, as the base directory rules say
    EXPECT_EQ(BatchFiles::userBatchFolder(),
              QDir::homePath() + "/.local/share/Quirepress/BatchBin");
    qputenv("XDG_DATA_HOME", dataHome);
}

} // namespace
} // namespace qp
