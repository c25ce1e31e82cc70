// Builds the Debian package from the build tree with cpack, unpacks it into a fresh root and
// checks what a user gets: the runtime folder, the menu entry, the link on the PATH, declared
// dependencies that cover every library the programs load, and a program that starts.
#include "support/QStringPrinting.h"
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace qp {
namespace {

using namespace Qt::StringLiterals;

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

Result run(const QString& program, const QStringList& arguments, const QString& workingDir = {},
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setWorkingDirectory(workingDir);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        result.err = u"did not finish"_s;
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// Package names as dpkg writes them in Depends: alternatives and versions dropped.
QSet<QString> packageNames(const QString& dependsField) {
    QSet<QString> names;
    for (const QString& part : dependsField.split(QRegularExpression(u"[,|]"_s))) {
        const QString name = part.trimmed().section(' ', 0, 0).section(':', 0, 0);
        if (!name.isEmpty())
            names.insert(name);
    }
    return names;
}

// Everything the declared packages bring along on this machine, as apt would install it:
// their dependencies, followed through every level, and the packages providing virtual ones.
QSet<QString> dependencyClosure(const QSet<QString>& declared) {
    const Result installed = run(
        u"dpkg-query"_s, {u"-W"_s, u"-f=${Package}\t${Depends}, ${Pre-Depends}\t${Provides}\n"_s});
    QHash<QString, QSet<QString>> next;
    for (const QString& line : installed.out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList columns = line.split('\t');
        if (columns.size() != 3)
            continue;
        next[columns[0]] += packageNames(columns[1]);
        for (const QString& provided : packageNames(columns[2]))
            next[provided].insert(columns[0]);
    }
    QSet<QString> seen;
    QStringList pending(declared.begin(), declared.end());
    while (!pending.isEmpty()) {
        const QString name = pending.takeLast();
        if (!seen.contains(name)) {
            seen.insert(name);
            pending += next.value(name).values();
        }
    }
    return seen;
}

// The installed package that holds a file, as ldd found it; /lib and /usr/lib are one.
QString owningPackage(const QString& path) {
    QStringList candidates = {path, QFileInfo(path).canonicalFilePath()};
    for (const QString& candidate : QStringList(candidates))
        candidates << (candidate.startsWith(u"/usr/"_s) ? candidate.mid(4) : u"/usr"_s + candidate);
    for (const QString& candidate : candidates) {
        const Result search = run(u"dpkg-query"_s, {u"-S"_s, candidate});
        if (search.exitCode == 0)
            return search.out.section(':', 0, 0).trimmed();
    }
    return {};
}

const QString BuildDir = qEnvironmentVariable("QP_BUILD_DIR");
const QStringList InstalledPrograms = {u"/opt/quirepress/quirepress"_s,
                                       u"/opt/quirepress/quirepress-pdf-server"_s};

class InstalledPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_work = std::make_unique<QTemporaryDir>();
        ASSERT_FALSE(BuildDir.isEmpty());
        const QString packages = s_work->filePath(u"packages"_s);
        const Result cpack = run(u"cpack"_s,
                                 {u"--config"_s, BuildDir + u"/CPackConfig.cmake"_s, u"-G"_s,
                                  u"DEB"_s, u"-B"_s, packages},
                                 BuildDir);
        ASSERT_EQ(cpack.exitCode, 0) << cpack.out.toStdString() << cpack.err.toStdString();
        const QStringList debs = QDir(packages).entryList({u"*.deb"_s}, QDir::Files);
        ASSERT_EQ(debs.size(), 1) << cpack.out.toStdString();
        s_deb = packages + QLatin1Char('/') + debs.first();
        s_root = s_work->filePath(u"root"_s);
        ASSERT_EQ(run(u"dpkg-deb"_s, {u"-x"_s, s_deb, s_root}).exitCode, 0);
    }
    static void TearDownTestSuite() { s_work.reset(); }
    void SetUp() override {
        if (s_root.isEmpty() || !QFileInfo::exists(s_root))
            GTEST_FAIL() << "the package could not be built or unpacked";
    }

    static QString inRoot(const QString& path) { return s_root + path; }

    // Starts the installed program through the command on the PATH, in a fresh home, and ends
    // it after three seconds: running and silent by then means every library and plugin was
    // found and the first window is up (on a first run, the question about the PDF server).
    static void expectStartsAndKeepsRunning(const QString& platform, const QStringList& wrapper) {
        SCOPED_TRACE(platform.toStdString());
        QTemporaryDir home;
        QDir(home.path()).mkpath(u"runtime"_s);
        QFile::setPermissions(home.filePath(u"runtime"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, platform);
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "LD_LIBRARY_PATH"})
            env.remove(QLatin1String(name));
        env.insert(u"HOME"_s, home.path());
        env.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, home.filePath(u"runtime"_s));
        const QStringList command = wrapper + QStringList{u"timeout"_s, u"--kill-after=5"_s, u"3"_s,
                                                          inRoot(u"/usr/bin/quirepress"_s)};
        const Result started = run(command.first(), command.mid(1), home.path(), env);
        // timeout's own exit codes for a program it had to end (124, or 137 after SIGKILL).
        EXPECT_TRUE(started.exitCode == 124 || started.exitCode == 137)
            << "the program ended by itself with exit code " << started.exitCode;
        QStringList errors = started.err.split('\n', Qt::SkipEmptyParts);
        // The offscreen platform's notice about window manager hints it has no use for.
        errors.removeAll(u"This plugin does not support propagateSizeHints()"_s);
        EXPECT_EQ(errors, QStringList());
    }

    static inline std::unique_ptr<QTemporaryDir> s_work;
    static inline QString s_deb;
    static inline QString s_root;
};

TEST_F(InstalledPackage, PutsTheRuntimeFolderUnderOptWithALinkOnThePathAndNothingElse) {
    for (const QString& program : InstalledPrograms) {
        const QFileInfo info(inRoot(program));
        EXPECT_TRUE(info.isFile() && info.isExecutable()) << program.toStdString();
    }
    EXPECT_GT(QFileInfo(inRoot(u"/opt/quirepress/helpfiles/Quirepress.chm"_s)).size(), 1000);
    const QFileInfo link(inRoot(u"/usr/bin/quirepress"_s));
    EXPECT_TRUE(link.isSymLink());
    EXPECT_EQ(link.canonicalFilePath(),
              QFileInfo(inRoot(InstalledPrograms[0])).canonicalFilePath());

    const QRegularExpression allowed(QStringLiteral(
        "^(/opt/quirepress/|/usr/bin/quirepress$|/usr/share/applications/quirepress\\.desktop$|"
        "/usr/share/icons/hicolor/|/usr/share/mime/packages/quirepress\\.xml$|"
        "/usr/share/man/man1/quirepress\\.1\\.gz$)"));
    QDirIterator files(s_root, QDir::Files | QDir::System, QDirIterator::Subdirectories);
    int count = 0;
    for (; files.hasNext(); ++count) {
        const QString path = files.next().mid(s_root.size());
        EXPECT_TRUE(allowed.match(path).hasMatch()) << "unexpected file: " << path.toStdString();
    }
    EXPECT_GE(count, 11);

    // No folder every user may write to: batches are each user's own.
    QDirIterator folders(s_root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (folders.hasNext()) {
        const QFileInfo folder(folders.next());
        EXPECT_FALSE(folder.permissions() & QFile::WriteOther)
            << folder.filePath().mid(s_root.size()).toStdString() << " is world-writable";
    }
    // The maintainer script must not make one either.
    const Result control = run(u"dpkg-deb"_s, {u"-I"_s, s_deb, u"postinst"_s});
    EXPECT_FALSE(control.out.contains(u"777"_s)) << control.out.toStdString();
}

TEST_F(InstalledPackage, PutsQuirepressIntoTheDesktopMenuWithItsIcon) {
    QFile entry(inRoot(u"/usr/share/applications/quirepress.desktop"_s));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
    EXPECT_EQ(lines.first(), u"[Desktop Entry]"_s);
    for (const char* line :
         {"Type=Application", "Name=Quirepress", "Exec=/opt/quirepress/quirepress %F",
          "Icon=quirepress", "Categories=Office;",
          "MimeType=application/x-quirepress-batch;application/msword;application/vnd.ms-excel;"
          "application/vnd.ms-powerpoint;application/pdf;"})
        EXPECT_TRUE(lines.contains(QLatin1String(line))) << line;
    // The theme's icon for Icon=quirepress, in the sizes menus ask for.
    for (const char* size : {"32x32", "256x256"})
        EXPECT_GT(QFileInfo(inRoot(u"/usr/share/icons/hicolor/%1/apps/quirepress.png"_s.arg(
                                QLatin1String(size))))
                      .size(),
                  0)
            << size;
}

// Batch files are a type of their own with an icon, so that a double click opens them; the
// compiled MIME database of a scratch folder is asked, as the desktop would be.
TEST_F(InstalledPackage, RegistersBatchFilesAndInstallsTheManualPage) {
    const QString mime = s_work->filePath(u"mime"_s);
    QDir().mkpath(mime + u"/packages"_s);
    ASSERT_TRUE(QFile::copy(inRoot(u"/usr/share/mime/packages/quirepress.xml"_s),
                            mime + u"/packages/quirepress.xml"_s));
    const Result update = run(u"update-mime-database"_s, {mime});
    ASSERT_EQ(update.exitCode, 0) << update.err.toStdString();
    QFile globs(mime + u"/globs2"_s);
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains(":application/x-quirepress-batch:*.qpb"));
    QFile icons(mime + u"/icons"_s);
    ASSERT_TRUE(icons.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        icons.readAll().contains("application/x-quirepress-batch:application-x-quirepress-batch"));
    for (const char* size : {"32x32", "256x256"})
        EXPECT_GT(QFileInfo(inRoot(u"/usr/share/icons/hicolor/%1/mimetypes/"
                                   "application-x-quirepress-batch.png"_s.arg(QLatin1String(size))))
                      .size(),
                  0)
            << size;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"MANWIDTH"_s, u"200"_s);
    const Result page =
        run(u"man"_s, {u"-l"_s, inRoot(u"/usr/share/man/man1/quirepress.1.gz"_s)}, {}, env);
    ASSERT_EQ(page.exitCode, 0) << page.err.toStdString();
    for (const char* words :
         {"quirepress --print [FILE]...", "EXIT STATUS", "PRINTER", "LPDEST", "CUPS_SERVER",
          "OfficeTimeout", "~/.config/Quirepress/Quirepress.conf"})
        EXPECT_TRUE(page.out.contains(QLatin1String(words))) << words;
    EXPECT_TRUE(page.err.isEmpty()) << page.err.toStdString();
}

TEST_F(InstalledPackage, DeclaresThePackagesUsersNeedAndEveryLibraryTheProgramsLoad) {
    const QSet<QString> declared =
        packageNames(run(u"dpkg-deb"_s, {u"-f"_s, s_deb, u"Depends"_s}).out);
    for (const char* needed : {"libreoffice-core", "libreoffice-writer", "libreoffice-calc",
                               "libreoffice-impress", "cups-client", "libcups2", "libqt6widgets6",
                               "libqt6dbus6", "qt6-qpa-plugins", "libpoppler-cpp0v5"})
        EXPECT_TRUE(declared.contains(QLatin1String(needed))) << needed;

    const QSet<QString> available = dependencyClosure(declared);
    const QRegularExpression neededLine(u"\\(NEEDED\\)\\s+Shared library: \\[(.+)\\]"_s);
    for (const QString& program : InstalledPrograms) {
        const Result ldd = run(u"ldd"_s, {inRoot(program)});
        ASSERT_EQ(ldd.exitCode, 0) << ldd.err.toStdString();
        EXPECT_FALSE(ldd.out.contains(u"not found"_s)) << ldd.out.toStdString();
        const Result dynamic = run(u"readelf"_s, {u"-d"_s, inRoot(program)});
        for (const auto& needed : neededLine.globalMatch(dynamic.out)) {
            const QString soname = needed.captured(1);
            const auto where =
                QRegularExpression(QRegularExpression::escape(soname) + u" => (\\S+)"_s)
                    .match(ldd.out);
            ASSERT_TRUE(where.hasMatch()) << soname.toStdString();
            const QString owner = owningPackage(where.captured(1));
            ASSERT_FALSE(owner.isEmpty()) << soname.toStdString() << " belongs to no package";
            EXPECT_TRUE(available.contains(owner))
                << program.toStdString() << " loads " << soname.toStdString() << " from "
                << owner.toStdString() << ", which the package does not bring along";
        }
        // Installed programs must not look for libraries in the folder they were built in.
        EXPECT_FALSE(dynamic.out.contains(BuildDir)) << dynamic.out.toStdString();
    }
}

TEST_F(InstalledPackage, TheInstalledProgramStartsOffscreenAndOnAnXDisplay) {
    // The X platform plugin brings libraries of its own that the offscreen one does not need.
    expectStartsAndKeepsRunning(u"offscreen"_s, {});
    expectStartsAndKeepsRunning(u"xcb"_s, {u"xvfb-run"_s, u"-a"_s, u"-s"_s, u"-nolisten tcp"_s});
}

TEST(PlainInstall, IntoAnyOtherFolderWritesTheRuntimeFolderAndNothingElse) {
    QTemporaryDir target;
    const Result install = run(
        u"cmake"_s, {u"--install"_s, BuildDir, u"--prefix"_s, target.filePath(u"quirepress"_s)});
    ASSERT_EQ(install.exitCode, 0) << install.err.toStdString();
    QStringList found;
    QDirIterator entries(target.path(), QDir::AllEntries | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        found << entries.next().mid(target.path().size());
    found.sort();
    EXPECT_EQ(found,
              QStringList({u"/quirepress"_s, u"/quirepress/helpfiles"_s,
                           u"/quirepress/helpfiles/Quirepress.chm"_s, u"/quirepress/quirepress"_s,
                           u"/quirepress/quirepress-pdf-server"_s}));
}

} // namespace
} // namespace qp
