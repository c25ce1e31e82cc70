#include "help/modHelp.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qp {
namespace {

QString helpSourceDir() {
    return qEnvironmentVariable("QP_SOURCE_DIR") + QStringLiteral("/helpsrc");
}

QString builtHelpFile() {
    return HelpFilePath(qEnvironmentVariable("QP_RUNTIME_DIR"));
}

QStringList helpPages() {
    return QDir(helpSourceDir()).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(CompiledHelp, HoldsEveryPageTheContentsAndTheIndex) {
    ASSERT_TRUE(QFile::exists(builtHelpFile())) << builtHelpFile().toStdString();
    const QStringList listed = run(QStringLiteral("chmls"),
                                   {QStringLiteral("-n"), QStringLiteral("list"), builtHelpFile()})
                                   .split('\n');
    QStringList expected = helpPages();
    expected << QStringLiteral("style.css") << QStringLiteral("toc.hhc")
             << QStringLiteral("index.hhk");
    ASSERT_GE(helpPages().size(), 8);
    for (const QString& page : expected) {
        EXPECT_TRUE(listed.contains(QLatin1Char('/') + page)) << page.toStdString();
    }
}

TEST(CompiledHelp, OpensAtTheWelcomePage) {
    // A viewer shows the default topic that the file's #SYSTEM record names.
    QTemporaryDir out;
    const QString system = out.filePath(QStringLiteral("system.bin"));
    run(QStringLiteral("chmls"),
        {QStringLiteral("extract"), builtHelpFile(), QStringLiteral("/#SYSTEM"), system});
    QFile file(system);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("index.html"));
    EXPECT_TRUE(readText(helpSourceDir() + QStringLiteral("/index.html"))
                    .contains(QStringLiteral("<title>Welcome to Quirepress</title>")));
}

TEST(HelpPages, EveryLinkLeadsToAPageAndPlaceThatExist) {
    const QRegularExpression link(QStringLiteral("(?:href|value)=\"([a-z]+\\.html)(?:#(\\w+))?\""));
    const QRegularExpression anchor(QStringLiteral("<a name=\"(\\w+)\">"));
    QStringList sources = helpPages();
    sources << QStringLiteral("toc.hhc") << QStringLiteral("index.hhk");
    const QStringList pages = helpPages();
    int links = 0;
    for (const QString& source : sources) {
        const QString text = readText(helpSourceDir() + QLatin1Char('/') + source);
        ASSERT_FALSE(text.isEmpty()) << source.toStdString();
        for (const auto& match : link.globalMatch(text)) {
            ++links;
            const QString target = match.captured(1);
            ASSERT_TRUE(pages.contains(target))
                << source.toStdString() << " links to missing " << target.toStdString();
            if (match.hasCaptured(2)) {
                QSet<QString> names;
                const QString targetText = readText(helpSourceDir() + QLatin1Char('/') + target);
                for (const auto& name : anchor.globalMatch(targetText)) {
                    names.insert(name.captured(1));
                }
                EXPECT_TRUE(names.contains(match.captured(2)))
                    << source.toStdString() << " links to missing place " << target.toStdString()
                    << "#" << match.captured(2).toStdString();
            }
        }
    }
    EXPECT_GT(links, 40);
}

} // namespace
} // namespace qp
