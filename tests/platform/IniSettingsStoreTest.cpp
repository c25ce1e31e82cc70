#include "platform/IniSettingsStore.h"
#include "core/AppError.h"
#include "support/QStringPrinting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qp {
namespace {

class IniSettingsStoreTest : public ::testing::Test {
protected:
    QString read(const QString& key, const QString& section = "Settings") {
        return IniSettingsStore(dir.path()).read("Quirepress", section, key);
    }
    QByteArray fileText() {
        QFile file(dir.filePath("Quirepress.conf"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    IniSettingsStore store{dir.path()};
};

TEST_F(IniSettingsStoreTest, MatchesNamesWithoutRegardToCaseAndKeepsTheirFirstSpelling) {
    EXPECT_EQ(read("Acrobat"), QString());
    store.write("Quirepress", "Settings", "AcroCancelled", "1");
    EXPECT_EQ(store.read("QUIREPRESS", "settings", "acrocancelled"), "1");
    store.write("quirepress", "SETTINGS", "ACROCANCELLED", "0");
    EXPECT_EQ(read("AcroCancelled", "Other"), QString());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"Quirepress.conf"}));
    EXPECT_EQ(fileText(), "[Settings]\nAcroCancelled=0\n");
}

// A file edited by hand keeps its values as the literal text after the first equals sign.
TEST_F(IniSettingsStoreTest, KeepsEveryValueAsTheLiteralTextAfterTheFirstEqualsSign) {
    QFile file(dir.filePath("Quirepress.conf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("; edited by hand\r\n[settings]\r\nacrobat=C:\\Temp\\Acro Rd32.exe\r\n"
               "List = a, b, \"c\"\r\nFormula=x=1;y=2\r\nthis line is not a setting\r\n");
    file.close();
    store.write("Quirepress", "Settings", "AcroCancelled", "0");
    EXPECT_EQ(read("Formula"), "x=1;y=2");
    EXPECT_EQ(read("List"), " a, b, \"c\"");
    EXPECT_EQ(read("Acrobat"), "C:\\Temp\\Acro Rd32.exe");
    EXPECT_TRUE(fileText().startsWith("[settings]\n"));
    const QString path = QStringLiteral("/home/zoë/Programme, alt/\\x [1].exe");
    store.write("Quirepress", "Settings", "Acrobat", path);
    EXPECT_EQ(read("Acrobat"), path);
    EXPECT_TRUE(fileText().contains("acrobat=" + path.toUtf8() + "\n"));
}

TEST_F(IniSettingsStoreTest, RefusesWhatItCannotStoreWithNumberAndDescription) {
    QFile blocked(dir.filePath("blocked")); // a file where the settings folder should be
    ASSERT_TRUE(blocked.open(QIODevice::WriteOnly));
    try {
        IniSettingsStore(blocked.fileName()).write("Quirepress", "Settings", "Acrobat", "x");
        ADD_FAILURE() << "a write into a file succeeded";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.number() != 0 && error.description().contains("blocked"));
    }
    // A value that would break the file's lines is refused instead of being cut short.
    EXPECT_THROW(store.write("Quirepress", "Settings", "Acrobat", "a\nb"), AppError);
    EXPECT_EQ(read("Acrobat"), QString());
}

} // namespace
} // namespace qp
