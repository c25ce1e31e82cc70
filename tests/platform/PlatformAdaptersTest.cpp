// The settings file and the program starter, on real files and processes in a temporary folder.
#include "core/AppError.h"
#include "platform/IniSettingsStore.h"
#include "platform/QProcessProgramStarter.h"
#include "support/Fakes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>

namespace qp {
namespace {

class PlatformTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& contents, bool executable = false) {
        return test::writeFile(dir.filePath(name), contents, executable);
    }
    QString read(const QString& key, const QString& section = "Settings") {
        return IniSettingsStore(dir.path()).read("Quirepress", section, key);
    }
    void store(const QString& key, const QString& value) {
        IniSettingsStore(dir.path()).write("Quirepress", "Settings", key, value);
    }
    QByteArray settingsFile() { return test::fileBytes(dir.filePath("Quirepress.conf")); }

    QTemporaryDir dir;
};

// Names match without regard to case and keep their first spelling; a file edited by hand keeps
// its values as the literal text after the first equals sign.
TEST_F(PlatformTest, SettingsMatchNamesInAnyCaseAndKeepValuesAsTheyStand) {
    store("AcroCancelled", "1");
    EXPECT_EQ(IniSettingsStore(dir.path()).read("QUIREPRESS", "settings", "acrocancelled"), "1");
    IniSettingsStore(dir.path()).write("quirepress", "SETTINGS", "ACROCANCELLED", "0");
    EXPECT_EQ(read("AcroCancelled", "Other"), QString());
    EXPECT_EQ(settingsFile(), "[Settings]\nAcroCancelled=0\n");
    write("Quirepress.conf", "; edited by hand\r\n[settings]\r\nacrobat=C:\\Temp\\Acro Rd32.exe\r\n"
                             "List = a, b, \"c\"\r\nFormula=x=1;y=2\r\nnot a setting\r\n");
    store("AcroCancelled", "0");
    EXPECT_EQ(read("Formula"), "x=1;y=2");
    EXPECT_EQ(read("List"), " a, b, \"c\"");
    EXPECT_EQ(read("Acrobat"), "C:\\Temp\\Acro Rd32.exe");
    EXPECT_TRUE(settingsFile().startsWith("[settings]\n"));
    const QString path = QStringLiteral("/home/zoë/Programme, alt/\\x [1].exe");
    store("Acrobat", path);
    EXPECT_EQ(read("Acrobat"), path);
    EXPECT_TRUE(settingsFile().contains("acrobat=" + path.toUtf8() + "\n"));
    // A value that would break the file's lines is refused instead of being cut short, and so
    // is a folder that cannot be made.
    EXPECT_THROW(store("Acrobat", "a\nb"), AppError);
    EXPECT_EQ(read("Acrobat"), path);
    EXPECT_THROW(IniSettingsStore(write("blocked", "")).write("Quirepress", "Settings", "A", "x"),
                 AppError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"blocked", "Quirepress.conf"}));
}

// The stored path names a file: no shell, no arguments, no search of the PATH, and no waiting.
// Through a shell this name would write a file named pwned. The program holds none of our
// streams, so a caller's $(...) ends with us, and lives in a session of its own; its end is
// seen at once.
TEST_F(PlatformTest, StartsTheFileItselfWithoutArgumentsShellOrWaiting) {
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QString program =
        write("my pdf; touch pwned & $(id) `id` 'x'.sh",
              "#!/bin/sh\necho \"$0 args=$#\" > trace.new\necho $$ >> trace.new\n"
              "mv trace.new trace\nfor i in $(seq 200); do [ -e returned ] && exit; sleep 0.05; "
              "done\n",
              true);
    QProcessProgramStarter starter;
    EXPECT_FALSE(starter.hasEnded());
    QElapsedTimer timer;
    timer.start();
    starter.start(program);
    EXPECT_LT(timer.elapsed(), 5000) << "the start waited for the program";
    QFile trace(dir.filePath("trace"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return trace.open(QIODevice::ReadOnly); }, 10000));
    const QList<QByteArray> lines = trace.readAll().split('\n');
    EXPECT_EQ(lines.value(0), program.toUtf8() + " args=0");
    const QString pid = lines.value(1);
    for (const char* stream : {"0", "1", "2"})
        EXPECT_EQ(QFile::symLinkTarget("/proc/" + pid + "/fd/" + stream), "/dev/null") << stream;
    EXPECT_NE(::getsid(pid.toInt()), ::getsid(0));
    EXPECT_FALSE(starter.hasEnded());
    write("returned", "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return starter.hasEnded(); }, 1000)) << "the end went unseen";
    starter.start("/bin/true");
    EXPECT_TRUE(QTest::qWaitFor([&] { return starter.hasEnded(); }, 1000)) << "/bin/true";
    EXPECT_FALSE(QFile::exists(dir.filePath("pwned"))) << "part of the name ran as a command";
    // Among these a file marked executable that no loader accepts, and a command on every PATH.
    for (const QString& failing :
         {dir.filePath("missing"), dir.path(), write("notes.txt", "text\n"),
          write("broken", "#!/nonexistent/interpreter\n", true), QString("true"), QString()}) {
        const AppError error = test::failureOf([&] { starter.start(failing); });
        EXPECT_TRUE(error.number() == ErrorNumber::ProgramNotStarted &&
                    error.description().contains(failing))
            << error.what() << " for " << failing.toStdString();
    }
}

} // namespace
} // namespace qp
