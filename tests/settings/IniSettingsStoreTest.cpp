#include "platform/IniSettingsStore.h"
#include "core/AppError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qp;

namespace {

class IniSettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    IniSettingsStore store{dir.path()};

    QByteArray fileText(const QString& name = QStringLiteral("Quirepress.conf")) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QByteArray& text,
                   const QString& name = QStringLiteral("Quirepress.conf")) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
};

TEST_F(IniSettingsStoreTest, MissingKeysReadAsEmptyTextAndWritesPersistAcrossInstances) {
    EXPECT_EQ(store.read("Quirepress", "Settings", "Acrobat"), QString());
    store.write("Quirepress", "Settings", "Acrobat", "/opt/quirepress/quirepress-pdf-server");
    store.write("Quirepress", "Settings", "AcroCancelled", "0");

    IniSettingsStore reopened(dir.path());
    EXPECT_EQ(reopened.read("Quirepress", "Settings", "Acrobat"),
              "/opt/quirepress/quirepress-pdf-server");
    EXPECT_EQ(reopened.read("Quirepress", "Settings", "AcroCancelled"), "0");
    EXPECT_EQ(reopened.read("Quirepress", "Other", "Acrobat"), QString());
}

TEST_F(IniSettingsStoreTest, NamesMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
    store.write("Quirepress", "Settings", "AcroCancelled", "1");
    EXPECT_EQ(store.read("QUIREPRESS", "settings", "acrocancelled"), "1");

    store.write("quirepress", "SETTINGS", "ACROCANCELLED", "0");
    EXPECT_EQ(store.read("Quirepress", "Settings", "AcroCancelled"), "0");
    // One file, one section, one key: the later writes replaced the value in place.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(fileText(), QByteArray("[Settings]\nAcroCancelled=0\n"));
}

TEST_F(IniSettingsStoreTest, HandEditedValuesReadExactlyAsWritten) {
    writeFile("; edited by hand\r\n"
              "[settings]\r\n"
              "acrobat=C:\\Temp\\Acro Rd32.exe\r\n"
              "List = a, b, \"c\"\r\n"
              "Formula=x=1;y=2\r\n"
              "this line is not a setting\r\n");
    EXPECT_EQ(store.read("Quirepress", "Settings", "Acrobat"), "C:\\Temp\\Acro Rd32.exe");
    EXPECT_EQ(store.read("Quirepress", "Settings", "List"), " a, b, \"c\"");
    EXPECT_EQ(store.read("Quirepress", "Settings", "Formula"), "x=1;y=2");

    // Writing another key keeps the edited values and their spelling.
    store.write("Quirepress", "Settings", "AcroCancelled", "0");
    IniSettingsStore reopened(dir.path());
    EXPECT_EQ(reopened.read("Quirepress", "Settings", "Acrobat"), "C:\\Temp\\Acro Rd32.exe");
    EXPECT_EQ(reopened.read("Quirepress", "Settings", "List"), " a, b, \"c\"");
    EXPECT_TRUE(fileText().startsWith("[settings]\n"));
}

TEST_F(IniSettingsStoreTest, ValuesWithBackslashesCommasAndNonAsciiRoundTrip) {
    const QString path = QStringLiteral("/home/zoë/Programme, alt/\\x [1].exe");
    store.write("Quirepress", "Settings", "Acrobat", path);
    EXPECT_EQ(IniSettingsStore(dir.path()).read("Quirepress", "Settings", "Acrobat"), path);
    EXPECT_TRUE(fileText().contains(path.toUtf8()));
}

TEST_F(IniSettingsStoreTest, FailuresAreReportedWithNumberAndDescription) {
    // A regular file where the settings folder should be: nothing can be written there.
    const QString blocked = dir.filePath("blocked");
    QFile f(blocked);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    IniSettingsStore broken(blocked);
    try {
        broken.write("Quirepress", "Settings", "Acrobat", "x");
        FAIL() << "write into a file succeeded";
    } catch (const AppError& error) {
        EXPECT_NE(error.number(), 0);
        EXPECT_TRUE(error.description().contains("blocked")) << error.description().toStdString();
    }
    // A value that would break the file's lines is refused instead of being cut short.
    EXPECT_THROW(store.write("Quirepress", "Settings", "Acrobat", "a\nb"), AppError);
    EXPECT_EQ(store.read("Quirepress", "Settings", "Acrobat"), QString());
}

} // namespace
