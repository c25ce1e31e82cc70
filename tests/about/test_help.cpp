#include "core/AppError.h"
#include "help/HelpLauncher.h"

#include "support/QStringPrinting.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

namespace qp {
namespace {

using namespace Qt::StringLiterals;

struct ScriptedViewer : HelpViewer {
    void showContents(const QString& path, quintptr ownerWindow) override {
        calls << u"%1 for %2"_s.arg(path).arg(ownerWindow);
        if (failure)
            failure();
    }
    QStringList calls;
    std::function<void()> failure;
};

TEST(HelpLauncher, OpensTheFileInHelpfilesBesideTheExecutableJoinedAsItIsEveryTime) {
    ScriptedViewer viewer;
    HelpLauncher(viewer, u"/opt/quirepress"_s).showContents(0x2a00017);
    HelpLauncher(viewer, u"/opt/quirepress"_s).showContents(0x2a00017);
    HelpLauncher(viewer, u"/home/ann/Quire press #2/"_s).showContents(7);
    EXPECT_EQ(viewer.calls,
              QStringList({u"/opt/quirepress/helpfiles/Quirepress.chm for 44040215"_s,
                           u"/opt/quirepress/helpfiles/Quirepress.chm for 44040215"_s,
                           u"/home/ann/Quire press #2//helpfiles/Quirepress.chm for 7"_s}));
}

TEST(HelpLauncher, AViewerThatFailsCostsNothingAndShowsNothing) {
    const auto visibleWindows = [] {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            count += widget->isVisible() ? 1 : 0;
        return count;
    };
    const int windowsBefore = visibleWindows();
    ScriptedViewer viewer;
    for (const std::function<void()>& failure : std::initializer_list<std::function<void()>>{
             [] { throw AppError(53, u"File not found"_s); },
             [] { throw std::runtime_error("no viewer"); }, [] { throw 42; }}) {
        viewer.failure = failure;
        EXPECT_NO_THROW(HelpLauncher(viewer, u"/opt/quirepress"_s).showContents(1));
    }
    EXPECT_EQ(viewer.calls.size(), 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(visibleWindows(), windowsBefore);
}

// The desktop's part, for real: help_open_probe asks for help twice through DesktopHelpViewer
// on an X server of its own, and Qt's desktop services hand the file to the desktop's
// launcher (xdg-open), here one that writes down what it was asked to open.
TEST(DesktopHelpViewerOnX, HandsTheHelpFileToTheLauncherEachTimeAndNeverShowsAWindow) {
    ASSERT_FALSE(QStandardPaths::findExecutable(u"xvfb-run"_s).isEmpty())
        << "xvfb-run (Debian package xvfb) is needed";
    QTemporaryDir root;
    const QString launcherDir = root.filePath(u"launcher"_s);
    const QString record = root.filePath(u"opened.txt"_s);
    QDir().mkpath(launcherDir);
    QFile launcher(launcherDir + u"/xdg-open"_s);
    ASSERT_TRUE(launcher.open(QIODevice::WriteOnly));
    launcher.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + record.toUtf8() + "'\n");
    launcher.close();
    launcher.setPermissions(launcher.permissions() | QFile::ExeOwner);
    const QString runtimeDir = qEnvironmentVariable("QP_RUNTIME_DIR");
    ASSERT_TRUE(QFile::exists(HelpLauncher::helpFilePath(runtimeDir))) << "help not built";
    // Blanks, '#' and '%' in a folder must reach the launcher as part of the path, and a
    // missing help file is left to the desktop to report.
    const QString oddFolder = root.filePath(u"Quire press #2 100%"_s);
    QDir().mkpath(oddFolder);

    const struct {
        QString executableDir;
        QString lookupPath;
        int requests;
    } cases[] = {{runtimeDir, launcherDir, 2},
                 {oddFolder, launcherDir, 2},
                 {runtimeDir, root.filePath(u"no launcher"_s), 0}};
    for (const auto& [executableDir, lookupPath, requests] : cases) {
        SCOPED_TRACE((executableDir + u" with PATH "_s + lookupPath).toStdString());
        QFile::remove(record);
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        probe.setProcessEnvironment(env);
        probe.start(u"xvfb-run"_s, {u"-a"_s, u"-s"_s, u"-nolisten tcp"_s,
                                    QCoreApplication::applicationDirPath() + u"/help_open_probe"_s,
                                    executableDir, lookupPath});
        if (!probe.waitForFinished(60000))
            probe.kill();
        probe.waitForFinished();
        EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(probe.exitCode(), 0) << "the program showed a window or ended";

        // The launcher runs on its own; give it a moment to write.
        QStringList opened;
        QElapsedTimer waited;
        waited.start();
        do {
            QTest::qWait(100);
            QFile file(record);
            if (file.open(QIODevice::ReadOnly))
                opened = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        } while (opened.size() < requests && waited.elapsed() < 10000);
        ASSERT_EQ(opened.size(), requests);
        for (const QString& url : opened)
            EXPECT_EQ(QUrl(url).toLocalFile(), HelpLauncher::helpFilePath(executableDir))
                << url.toStdString();
    }
}

QString helpSource(const QString& name = {}) {
    return qEnvironmentVariable("QP_SOURCE_DIR") + u"/helpsrc/"_s + name;
}

QStringList helpPages() {
    return QDir(helpSource()).entryList({u"*.html"_s}, QDir::Files, QDir::Name);
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString chmls(const QStringList& arguments) {
    QProcess process;
    process.start(u"chmls"_s, arguments);
    EXPECT_TRUE(process.waitForFinished(30000) && process.exitCode() == 0)
        << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(CompiledHelp, HoldsEveryPageTheContentsAndTheIndexAndOpensAtTheWelcomePage) {
    const QString built = HelpLauncher::helpFilePath(qEnvironmentVariable("QP_RUNTIME_DIR"));
    ASSERT_TRUE(QFile::exists(built)) << built.toStdString();
    const QStringList listed = chmls({u"-n"_s, u"list"_s, built}).split('\n');
    ASSERT_GE(helpPages().size(), 8);
    for (const QString& page :
         helpPages() + QStringList{u"style.css"_s, u"toc.hhc"_s, u"index.hhk"_s})
        EXPECT_TRUE(listed.contains(QLatin1Char('/') + page)) << page.toStdString();

    // A viewer shows the default topic that the file's #SYSTEM record names.
    QTemporaryDir out;
    const QString system = out.filePath(u"system.bin"_s);
    chmls({u"extract"_s, built, u"/#SYSTEM"_s, system});
    EXPECT_TRUE(readText(system).contains(u"index.html"_s));
    EXPECT_TRUE(
        readText(helpSource(u"index.html"_s)).contains(u"<title>Welcome to Quirepress</title>"_s));
}

TEST(HelpPages, EveryLinkLeadsToAPageAndPlaceThatExist) {
    const QRegularExpression link(u"(?:href|value)=\"([a-z]+\\.html)(?:#(\\w+))?\""_s);
    const QRegularExpression anchor(u"<a name=\"(\\w+)\">"_s);
    const QStringList pages = helpPages();
    int links = 0;
    for (const QString& source : pages + QStringList{u"toc.hhc"_s, u"index.hhk"_s}) {
        const QString text = readText(helpSource(source));
        ASSERT_FALSE(text.isEmpty()) << source.toStdString();
        for (const auto& match : link.globalMatch(text)) {
            ++links;
            const QString target = match.captured(1);
            ASSERT_TRUE(pages.contains(target))
                << source.toStdString() << " links to missing " << target.toStdString();
            if (!match.hasCaptured(2))
                continue;
            QSet<QString> names;
            for (const auto& name : anchor.globalMatch(readText(helpSource(target))))
                names.insert(name.captured(1));
            EXPECT_TRUE(names.contains(match.captured(2)))
                << source.toStdString() << " links to missing place " << target.toStdString() << "#"
                << match.captured(2).toStdString();
        }
    }
    EXPECT_GT(links, 40);
}

} // namespace
} // namespace qp
