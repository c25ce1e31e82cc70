#include "BatchTestSupport.h"
#include "batches/BatchFile.h"
#include "batches/LegacyText.h"

#include <QSet>
#include <gtest/gtest.h>

namespace qp {
namespace {

const QByteArray exampleBytes =
    QByteArray::fromHex("22443A5C612E646F63220D0A22443A5C622E786C73220D0A");

TEST(BatchFormat, WritesTheTwoEntryExampleAsExactly24Bytes) {
    const QByteArray bytes =
        formatBatch({QStringLiteral("D:\\a.doc"), QStringLiteral("D:\\b.xls")});
    EXPECT_EQ(bytes.size(), 24);
    EXPECT_EQ(bytes, exampleBytes);
}

TEST(BatchFormat, WritesNothingForAnEmptyList) {
    EXPECT_TRUE(formatBatch({}).isEmpty());
}

TEST(BatchFormat, WritesQuotesCommasAndEmptyEntriesUnchangedBetweenTheEnclosingQuotes) {
    EXPECT_EQ(formatBatch({QStringLiteral("C:\\say \"hi\".doc")}),
              QByteArray("\"C:\\say \"hi\".doc\"\r\n"));
    EXPECT_EQ(formatBatch({QStringLiteral("a,b.doc")}), QByteArray("\"a,b.doc\"\r\n"));
    EXPECT_EQ(formatBatch({QString()}), QByteArray("\"\"\r\n"));
}

TEST(BatchFormat, WritesUtf8WithoutByteOrderMark) {
    const QByteArray bytes = formatBatch({QStringLiteral("/home/zoë/Café.doc")});
    EXPECT_EQ(bytes, QByteArray("\"/home/zo\xC3\xAB/Caf\xC3\xA9.doc\"\r\n"));
}

TEST(BatchReader, ReadsTheExampleBackInOrder) {
    EXPECT_EQ(parseBatch(exampleBytes),
              QStringList({QStringLiteral("D:\\a.doc"), QStringLiteral("D:\\b.xls")}));
}

TEST(BatchReader, SkipsLinesThatHoldNothingButQuotes) {
    EXPECT_EQ(parseBatch("\r\n\"\"\r\n\"\"\"\"\"\r\n\"x\"\r\n\r\n"), QStringList({"x"}));
}

TEST(BatchReader, DropsEveryQuoteAndKeepsEverythingElseOfTheLine) {
    EXPECT_EQ(parseBatch("\"C:\\a\"b.doc\"\r\n"), QStringList({"C:\\ab.doc"}));
    EXPECT_EQ(parseBatch("plain path.doc\r\n"), QStringList({"plain path.doc"}));
    EXPECT_EQ(parseBatch("\"   \"\r\n   \r\n"), QStringList({"   ", "   "}));
    EXPECT_EQ(parseBatch("\" lead and trail \"\r\n"), QStringList({" lead and trail "}));
}

TEST(BatchReader, ReadsALastLineWithoutLineEnd) {
    EXPECT_EQ(parseBatch("\"a.doc\"\r\n\"b.pdf\""), QStringList({"a.doc", "b.pdf"}));
    EXPECT_EQ(parseBatch("b.pdf"), QStringList({"b.pdf"}));
}

TEST(BatchReader, EndsLinesAtCrLfLoneLfAndLoneCr) {
    EXPECT_EQ(parseBatch("a\nb\rc\r\nd"), QStringList({"a", "b", "c", "d"}));
    // CR CR LF is one empty line between two ends, not a line holding a CR.
    EXPECT_EQ(parseBatch("a\r\r\nb\n\n"), QStringList({"a", "b"}));
    EXPECT_EQ(parseBatch("\r\n\n\r"), QStringList());
}

TEST(BatchReader, ReadsNothingFromAnEmptyFileOrAByteOrderMarkAlone) {
    EXPECT_TRUE(parseBatch(QByteArray()).isEmpty());
    EXPECT_TRUE(parseBatch("\xEF\xBB\xBF").isEmpty());
}

TEST(BatchReader, SkipsALeadingByteOrderMarkOnly) {
    EXPECT_EQ(parseBatch("\xEF\xBB\xBF\"a.doc\"\r\n"), QStringList({"a.doc"}));
    const QStringList secondMarkKept = parseBatch("\xEF\xBB\xBF\xEF\xBB\xBFz");
    ASSERT_EQ(secondMarkKept.size(), 1);
    EXPECT_EQ(secondMarkKept[0], QString(QChar(0xFEFF)) + QLatin1Char('z'));
}

TEST(BatchReader, ReadsAWindows1252FileRight) {
    const QByteArray ansi(
        "\"C:\\Caf\xe9\\r\x80sum\xe9.doc\"\r\n\"C:\\\x93quoted\x94 \x9f.pdf\"\r\n");
    EXPECT_EQ(parseBatch(ansi), QStringList({QStringLiteral("C:\\Café\\r€sumé.doc"),
                                             QStringLiteral("C:\\“quoted” Ÿ.pdf")}));
}

TEST(BatchReader, ReadsAFileWithAnyMalformedUtf8WholeAsWindows1252) {
    // The encoding is decided for the file, not per line: a Windows file may hold a byte pair
    // that happens to look like UTF-8, and it must not be read differently from its neighbours.
    EXPECT_EQ(parseBatch("\xC3\xA9\r\n\xE9\r\n"),
              QStringList({QStringLiteral("Ã©"), QStringLiteral("é")}));
}

TEST(BatchReader, GivesBackEveryEntryTheWriterWasGiven) {
    const QStringList entries = {
        QStringLiteral("D:\\a.doc"),        QStringLiteral("/home/zoë/Übersicht 日本語.xls"),
        QStringLiteral("/tmp/emoji 😀.pdf"), QStringLiteral("  padded  "),
        QStringLiteral("a,b;c\tdoc"),       QStringLiteral("D:\\a.doc"),
    };
    EXPECT_EQ(parseBatch(formatBatch(entries)), entries);
}

TEST(BatchReader, LosesOnlyTheQuotesAndEmptyEntriesOfAWrittenList) {
    const QStringList written = {QStringLiteral("x\"y\".doc"), QString(), QStringLiteral("\"\"")};
    EXPECT_EQ(parseBatch(formatBatch(written)), QStringList({"xy.doc"}));
}

TEST(Utf8Check, AcceptsWellFormedText) {
    EXPECT_TRUE(isWellFormedUtf8(""));
    EXPECT_TRUE(isWellFormedUtf8("plain ASCII\r\n"));
    EXPECT_TRUE(isWellFormedUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"));
    EXPECT_TRUE(isWellFormedUtf8("\xED\x9F\xBF\xEE\x80\x80")); // either side of the surrogates
}

TEST(Utf8Check, RejectsMalformedText) {
    EXPECT_FALSE(isWellFormedUtf8("\x80"));                 // stray continuation byte
    EXPECT_FALSE(isWellFormedUtf8("\xC0\x80"));             // overlong NUL
    EXPECT_FALSE(isWellFormedUtf8("\xE0\x80\xAF"));         // overlong slash
    EXPECT_FALSE(isWellFormedUtf8("\xED\xA0\x80"));         // encoded surrogate
    EXPECT_FALSE(isWellFormedUtf8("\xF4\x90\x80\x80"));     // above U+10FFFF
    EXPECT_FALSE(isWellFormedUtf8("\xE2\x82"));             // cut short at the end
    EXPECT_FALSE(isWellFormedUtf8("\xE2\x82x"));            // cut short by ASCII
    EXPECT_FALSE(isWellFormedUtf8("\xF8\x88\x80\x80\x80")); // five-byte form
    EXPECT_FALSE(isWellFormedUtf8("Caf\xe9"));
}

TEST(Windows1252, DecodesTheTypographicRangeAndLatin1) {
    const QString text = decodeWindows1252("\x80\x85\x8A\x91\x92\x96\x99\x9F\xA0\xE9\xFF A");
    EXPECT_EQ(text, QStringLiteral("€…Š‘’–™Ÿ\u00A0éÿ A"));
}

TEST(Windows1252, KeepsEveryByteAsItsOwnCharacter) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = decodeWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    QSet<char16_t> seen;
    for (const QChar c : text) {
        EXPECT_FALSE(c.isSurrogate());
        seen.insert(c.unicode());
    }
    EXPECT_EQ(seen.size(), 256);
    for (const unsigned char unassigned : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(text[unassigned].unicode(), unassigned);
}

} // namespace
} // namespace qp
