#include "batches/BatchFileIO.h"
#include "BatchTestSupport.h"
#include "batches/FileErrors.h"
#include "core/AppError.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qp {
namespace {

constexpr qint64 generousLimit = 1 << 20;

class FileContents : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    // Runs `action` and returns the number of the AppError it throws, or 0 when it succeeds.
    template <typename Action>
    static long failureNumber(Action&& action, QString* description = nullptr) {
        try {
            action();
        } catch (const AppError& error) {
            if (description)
                *description = error.description();
            return error.number();
        }
        return 0;
    }

    QStringList leftovers() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
};

// Lowers the largest file this process may write, so that a write really fails part way, as on
// a full disk. It works for root too, who is not stopped by file permissions.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

TEST_F(FileContents, CreatesAFileAndReadsItBack) {
    const QByteArray bytes("\"a.doc\"\r\n");
    replaceFileContents(path("new.qpb"), bytes);
    EXPECT_EQ(test::readBytes(path("new.qpb")), bytes);
    EXPECT_EQ(readFileContents(path("new.qpb"), generousLimit), bytes);
    EXPECT_EQ(leftovers(), QStringList({"new.qpb"}));
}

TEST_F(FileContents, ReplacingALongerFileLeavesNoOldByte) {
    ASSERT_TRUE(test::writeBytes(path("old.qpb"), QByteArray(5000, 'x')));
    replaceFileContents(path("old.qpb"), "\"b\"\r\n");
    EXPECT_EQ(test::readBytes(path("old.qpb")), QByteArray("\"b\"\r\n"));
}

TEST_F(FileContents, ReplacingKeepsTheFilesPermissionsAndWritesThroughASymlink) {
    ASSERT_TRUE(test::writeBytes(path("shared.qpb"), "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(path("shared.qpb")).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(path("shared.qpb"), path("link.qpb")));

    replaceFileContents(path("link.qpb"), "new");

    EXPECT_TRUE(QFileInfo(path("link.qpb")).isSymLink());
    EXPECT_EQ(test::readBytes(path("shared.qpb")), QByteArray("new"));
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path("shared.qpb")).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST_F(FileContents, AWriteThatFailsPartWayLeavesTheOldFileExactlyAsItWas) {
    const QByteArray old = "\"keep me.doc\"\r\n";
    // Both sizes: one written straight through, one that fails only when the buffer is emptied.
    for (const qsizetype size : {qsizetype(256 * 1024), qsizetype(6000)}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(test::writeBytes(path("batch.qpb"), old));
        long number = 0;
        QString description;
        {
            FileSizeLimit limit(1024);
            ASSERT_TRUE(limit.active());
            number = failureNumber(
                [&] { replaceFileContents(path("batch.qpb"), QByteArray(size, 'y')); },
                &description);
        }
        EXPECT_EQ(number, FileErrorNumber::DiskFull);
        EXPECT_EQ(description, "Disk full: " + path("batch.qpb"));
        EXPECT_EQ(test::readBytes(path("batch.qpb")), old);
        EXPECT_EQ(leftovers(), QStringList({"batch.qpb"})) << "the partial copy must be removed";
    }
}

TEST_F(FileContents, RefusesToWriteWhereNoFileCanBeCreated) {
    ASSERT_TRUE(test::writeBytes(path("plain"), "x"));
    QString description;
    EXPECT_EQ(failureNumber([&] { replaceFileContents(path("missing/b.qpb"), "x"); }, &description),
              ErrorNumber::PathNotFound);
    EXPECT_EQ(description, "Path not found: " + path("missing/b.qpb"));
    EXPECT_EQ(failureNumber([&] { replaceFileContents(path("plain/b.qpb"), "x"); }),
              ErrorNumber::PathNotFound);
    // sysfs refuses new files to everyone, root included (and is read-only in containers).
    EXPECT_EQ(failureNumber([&] { replaceFileContents("/sys/quirepress-test.qpb", "x"); }),
              ErrorNumber::PermissionDenied);
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
}

TEST_F(FileContents, RefusesToReplaceAFolderOrAPipe) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.qpb"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.qpb")).constData(), 0600), 0);

    EXPECT_EQ(failureNumber([&] { replaceFileContents(path("folder.qpb"), "x"); }),
              FileErrorNumber::PathFileAccessError);
    EXPECT_EQ(failureNumber([&] { replaceFileContents(path("pipe.qpb"), "x"); }),
              FileErrorNumber::PathFileAccessError);
    EXPECT_TRUE(QFileInfo(path("folder.qpb")).isDir());
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(path("pipe.qpb")).constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST_F(FileContents, TellsAMissingFileFromAMissingFolder) {
    QString description;
    EXPECT_EQ(
        failureNumber([&] { readFileContents(path("none.qpb"), generousLimit); }, &description),
        ErrorNumber::FileNotFound);
    EXPECT_EQ(description, "File not found: " + path("none.qpb"));
    EXPECT_EQ(failureNumber([&] { readFileContents(path("nowhere/none.qpb"), generousLimit); }),
              ErrorNumber::PathNotFound);
}

TEST_F(FileContents, RefusesToReadAFolderOrAPipeWithoutWaiting) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.qpb")).constData(), 0600), 0);
    EXPECT_EQ(failureNumber([&] { readFileContents(dir.path(), generousLimit); }),
              FileErrorNumber::PathFileAccessError);
    EXPECT_EQ(failureNumber([&] { readFileContents(path("pipe.qpb"), generousLimit); }),
              FileErrorNumber::PathFileAccessError);
}

TEST_F(FileContents, ReportsAReadThatFailsAsADeviceError) {
    // Reading a process's memory at address 0 fails with EIO after the open succeeded.
    EXPECT_EQ(failureNumber([&] { readFileContents("/proc/self/mem", generousLimit); }),
              ErrorNumber::DeviceIOError);
}

TEST_F(FileContents, RefusesAFileLargerThanTheLimit) {
    QFile sparse(path("huge.qpb"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.resize(generousLimit + 1));
    sparse.close();
    EXPECT_EQ(failureNumber([&] { readFileContents(path("huge.qpb"), generousLimit); }),
              FileErrorNumber::OutOfMemory);
    ASSERT_TRUE(test::writeBytes(path("exact.qpb"), QByteArray(100, 'z')));
    EXPECT_EQ(readFileContents(path("exact.qpb"), 100).size(), 100);
}

} // namespace
} // namespace qp
