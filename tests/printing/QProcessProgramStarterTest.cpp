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

// Real processes: scripts written into a temporary folder leave a trace file behind when
// they run, which tells the test what ran and with what.
class QProcessProgramStarterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString writeScript(const QString& name, const QByteArray& body) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return path;
    }

    // The starter does not wait for the process; the test does, for its trace.
    static bool waitForFile(const QString& path) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 10000) {
            if (QFileInfo(path).size() > 0)
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static long failureNumberOf(const QString& program) {
        QProcessProgramStarter starter;
        try {
            starter.start(program);
        } catch (const AppError& error) {
            EXPECT_FALSE(error.description().isEmpty());
            EXPECT_TRUE(error.description().contains(program)) << error.what();
            return error.number();
        }
        return 0;
    }

    QTemporaryDir folder;
    QProcessProgramStarter starter;
};

TEST_F(QProcessProgramStarterTest, StartsTheProgramWithoutArgumentsAndDoesNotWaitForIt) {
    const QString trace = folder.filePath(QStringLiteral("trace"));
    const QString program =
        writeScript(QStringLiteral("pdfserver"), "echo \"args=$#\" > '" + trace.toUtf8() +
                                                     ".tmp'; sleep 3; mv '" + trace.toUtf8() +
                                                     ".tmp' '" + trace.toUtf8() + "'\n");

    QElapsedTimer timer;
    timer.start();
    starter.start(program);
    EXPECT_LT(timer.elapsed(), 2500) << "the start waited for the program";

    ASSERT_TRUE(waitForFile(trace));
    EXPECT_EQ(contents(trace), "args=0\n");
}

TEST_F(QProcessProgramStarterTest, BlanksAndShellCharactersArePartOfTheProgramName) {
    // Through a shell this name would run "true", then write a file named pwned.
    const QString marker = folder.filePath(QStringLiteral("pwned"));
    const QString name = QStringLiteral("my pdf; touch pwned & $(id) `id` 'x'.sh");
    const QString trace = folder.filePath(QStringLiteral("ran"));
    const QString program =
        writeScript(name, "echo \"$0\" > '" + trace.toUtf8() + ".tmp'; mv '" + trace.toUtf8() +
                              ".tmp' '" + trace.toUtf8() + "'\n");

    QDir::setCurrent(folder.path());
    starter.start(program);

    ASSERT_TRUE(waitForFile(trace));
    EXPECT_EQ(QString::fromUtf8(contents(trace)).trimmed(), program);
    EXPECT_FALSE(QFileInfo::exists(marker)) << "part of the name ran as a command";
}

TEST_F(QProcessProgramStarterTest, AProgramThatCannotBeStartedIsAFailureWithANumber) {
    const QString plainFile = folder.filePath(QStringLiteral("notes.txt"));
    {
        QFile file(plainFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a program\n");
    }
    // A file marked executable that no loader accepts still fails at the start itself.
    const QString brokenProgram = folder.filePath(QStringLiteral("broken"));
    {
        QFile file(brokenProgram);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/nonexistent/interpreter\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }

    EXPECT_EQ(failureNumberOf(folder.filePath(QStringLiteral("missing"))),
              ErrorNumber::ProgramNotStarted);
    EXPECT_EQ(failureNumberOf(folder.path()), ErrorNumber::ProgramNotStarted);
    EXPECT_EQ(failureNumberOf(plainFile), ErrorNumber::ProgramNotStarted);
    EXPECT_EQ(failureNumberOf(brokenProgram), ErrorNumber::ProgramNotStarted);
    EXPECT_THROW(starter.start(QString()), AppError);
}

TEST_F(QProcessProgramStarterTest, ABareNameIsNotLookedUpOnThePath) {
    // "true" exists on every PATH; a stored path names a file, not a command to search for.
    QDir::setCurrent(folder.path());
    EXPECT_EQ(failureNumberOf(QStringLiteral("true")), ErrorNumber::ProgramNotStarted);
    EXPECT_NO_THROW(starter.start(QStringLiteral("/bin/true")));
}

} // namespace
} // namespace qp
