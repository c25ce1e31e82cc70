#include "platform/QProcessProgramStarter.h"
#include "core/AppError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace qp {
namespace {

// Real processes, started from files written into a temporary folder that is also the
// working folder, where a shell or a PATH look-up would do harm.
struct QProcessProgramStarterTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(QDir::setCurrent(folder.path())); }
    QString write(const QString& name, const QByteArray& contents, bool executable = true) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return file.fileName();
    }
    QTemporaryDir folder;
    QProcessProgramStarter starter;
};

TEST_F(QProcessProgramStarterTest, StartsTheFileItselfWithoutArgumentsShellOrWaiting) {
    // Through a shell this name would write a file named pwned. The program runs until the
    // test has seen the start return.
    const QString program =
        write("my pdf; touch pwned & $(id) `id` 'x'.sh",
              "#!/bin/sh\necho \"$0 args=$#\" > trace\nfor i in $(seq 200); do [ -e returned ] "
              "&& exit; sleep 0.05; done\n");
    QElapsedTimer timer;
    timer.start();
    starter.start(program);
    EXPECT_LT(timer.elapsed(), 5000) << "the start waited for the program";
    write("returned", "");
    QFile trace(folder.filePath("trace"));
    while (trace.size() == 0 && timer.elapsed() < 10000)
        QThread::msleep(20);
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    EXPECT_EQ(trace.readAll().trimmed(), program.toUtf8() + " args=0");
    EXPECT_FALSE(QFile::exists(folder.filePath("pwned"))) << "part of the name ran as a command";
}

TEST_F(QProcessProgramStarterTest, AProgramThatCannotBeStartedIsAFailureWithANumber) {
    // Among them a file marked executable that no loader accepts, and a command on every PATH:
    // a stored path names a file, not a command to search for.
    for (const QString& program :
         {folder.filePath("missing"), folder.path(), write("notes.txt", "text\n", false),
          write("broken", "#!/nonexistent/interpreter\n"), QString("true"), QString()}) {
        SCOPED_TRACE(program.toStdString());
        try {
            starter.start(program);
            ADD_FAILURE() << "started";
        } catch (const AppError& error) {
            EXPECT_TRUE(error.number() == ErrorNumber::ProgramNotStarted &&
                        error.description().contains(program))
                << error.what();
        }
    }
}

} // namespace
} // namespace qp
