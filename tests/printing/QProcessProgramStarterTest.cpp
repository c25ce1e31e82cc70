#include "platform/QProcessProgramStarter.h"
#include "core/AppError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace qp {
namespace {

// Real processes, started from files written into a temporary folder.
class QProcessProgramStarterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QDir::setCurrent(folder.path()); // where a shell or a PATH look-up would do harm
    }

    QString writeFile(const QString& name, const QByteArray& contents, bool executable = true) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        file.write(contents);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return file.fileName();
    }

    // The starter does not wait for the process; the test does, for the trace it leaves.
    static QString waitForTrace(const QString& path) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000 && QFileInfo(path).size() == 0)
            QThread::msleep(20);
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed()
                                              : QString();
    }

    QTemporaryDir folder;
    QProcessProgramStarter starter;
};

TEST_F(QProcessProgramStarterTest, StartsTheFileItselfWithoutArgumentsShellOrWaiting) {
    // Through a shell this name would run "true", then write a file named pwned.
    const QString name = QStringLiteral("my pdf; touch pwned & $(id) `id` 'x'.sh");
    const QByteArray trace = folder.filePath(QStringLiteral("trace")).toUtf8();
    const QString program =
        writeFile(name, "#!/bin/sh\necho \"$0 args=$#\" > '" + trace + ".tmp'; sleep 3; mv '" +
                            trace + ".tmp' '" + trace + "'\n");
    QElapsedTimer timer;
    timer.start();
    starter.start(program);
    EXPECT_LT(timer.elapsed(), 2500) << "the start waited for the program";

    EXPECT_EQ(waitForTrace(QString::fromUtf8(trace)), program + " args=0");
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("pwned"))))
        << "part of the name ran as a command";
}

TEST_F(QProcessProgramStarterTest, AProgramThatCannotBeStartedIsAFailureWithANumber) {
    const QString cases[] = {
        folder.filePath(QStringLiteral("missing")),
        folder.path(),
        writeFile(QStringLiteral("notes.txt"), "not a program\n", false),
        // Marked executable, but no loader accepts it: still a failure of the start itself.
        writeFile(QStringLiteral("broken"), "#!/nonexistent/interpreter\n"),
        // On every PATH, but a stored path names a file, not a command to search for.
        QStringLiteral("true"),
        QString(),
    };
    for (const QString& program : cases) {
        SCOPED_TRACE(program.toStdString());
        try {
            starter.start(program);
            ADD_FAILURE() << "started";
        } catch (const AppError& error) {
            EXPECT_EQ(error.number(), ErrorNumber::ProgramNotStarted);
            EXPECT_TRUE(error.description().contains(program)) << error.what();
        }
    }
}

} // namespace
} // namespace qp
