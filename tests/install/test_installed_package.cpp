// Builds the Debian package from the build tree with cpack, unpacks it into a fresh root and
// checks what a user gets: the runtime folder, the menu entry, the link on the PATH, declared
// dependencies that cover every library the programs load, and a program that starts.
#include "support/QStringPrinting.h"

#include <QDir>
#include <QDirIterator>
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
    QString out, err;
};

Result run(const QString& program, const QStringList& arguments, const QString& workingDir = {},
           const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setWorkingDirectory(workingDir);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        return {-1, {}, u"did not finish"_s};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Package names as dpkg writes them in Depends: alternatives and versions dropped.
QSet<QString> packageNames(const QString& dependsField) {
    QSet<QString> names;
    for (const QString& part : dependsField.split(QRegularExpression(u"[,|]"_s)))
        names.insert(part.trimmed().section(' ', 0, 0).section(':', 0, 0));
    names.remove(QString());
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
        next[columns[0]] += packageNames(columns.value(1));
        for (const QString& provided : packageNames(columns.value(2)))
            next[provided].insert(columns[0]);
    }
    QSet<QString> seen;
    for (QStringList pending(declared.begin(), declared.end()); !pending.isEmpty();) {
        const QString name = pending.takeLast();
        if (!seen.contains(name))
            pending += next.value(name).values();
        seen.insert(name);
    }
    return seen;
}

// The installed package that holds a file, as ldd found it; /lib and /usr/lib are one.
QString owningPackage(const QString& path) {
    for (const QString& file : {path, QFileInfo(path).canonicalFilePath()}) {
        for (const QString& candidate :
             {file, file.startsWith(u"/usr/"_s) ? file.mid(4) : "/usr" + file}) {
            const Result search = run(u"dpkg-query"_s, {u"-S"_s, candidate});
            if (search.exitCode == 0)
                return search.out.section(':', 0, 0).trimmed();
        }
    }
    return {};
}

const QString BuildDir = qEnvironmentVariable("QP_BUILD_DIR");
const QStringList Programs = {u"/opt/quirepress/quirepress"_s,
                              u"/opt/quirepress/quirepress-pdf-server"_s};

class InstalledPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_work = std::make_unique<QTemporaryDir>();
        const QString packages = s_work->filePath(u"packages"_s);
        const Result cpack = run(u"cpack"_s,
                                 {u"--config"_s, BuildDir + u"/CPackConfig.cmake"_s, u"-G"_s,
                                  u"DEB"_s, u"-B"_s, packages},
                                 BuildDir);
        ASSERT_EQ(cpack.exitCode, 0) << cpack.out.toStdString() << cpack.err.toStdString();
        const QStringList debs = QDir(packages).entryList({u"*.deb"_s}, QDir::Files);
        ASSERT_EQ(debs.size(), 1) << cpack.out.toStdString();
        s_deb = packages + u'/' + debs.first();
        ASSERT_EQ(run(u"dpkg-deb"_s, {u"-x"_s, s_deb, s_work->filePath(u"root"_s)}).exitCode, 0);
        s_root = s_work->filePath(u"root"_s);
    }
    static void TearDownTestSuite() { s_work.reset(); }
    void SetUp() override { ASSERT_FALSE(s_root.isEmpty()) << "no package to check"; }
    static QString inRoot(const QString& path) { return s_root + path; }

    static inline std::unique_ptr<QTemporaryDir> s_work;
    static inline QString s_deb, s_root;
};

TEST_F(InstalledPackage, PutsTheRuntimeFolderUnderOptWithALinkOnThePathAndNothingElse) {
    for (const QString& program : Programs)
        EXPECT_TRUE(QFileInfo(inRoot(program)).isExecutable()) << program.toStdString();
    EXPECT_GT(QFileInfo(inRoot(u"/opt/quirepress/helpfiles/Quirepress.chm"_s)).size(), 1000);
    const QFileInfo link(inRoot(u"/usr/bin/quirepress"_s));
    EXPECT_TRUE(link.isSymLink());
    EXPECT_EQ(link.canonicalFilePath(), QFileInfo(inRoot(Programs[0])).canonicalFilePath());

    const QRegularExpression allowed(
        u"^(/opt/quirepress/|/usr/bin/quirepress$|/usr/share/applications/quirepress\\.desktop$|"
        "/usr/share/icons/hicolor/|/usr/share/mime/packages/quirepress\\.xml$|"
        "/usr/share/man/man1/quirepress\\.1\\.gz$)"_s);
    int count = 0;
    for (QDirIterator files(s_root, QDir::Files | QDir::System, QDirIterator::Subdirectories);
         files.hasNext(); ++count) {
        const QString path = files.next().mid(s_root.size());
        EXPECT_TRUE(allowed.match(path).hasMatch()) << "unexpected file: " << path.toStdString();
    }
    EXPECT_GE(count, 11);
    // No folder every user may write to, nor a maintainer script that makes one: batches are
    // each user's own.
    for (QDirIterator dirs(s_root, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         dirs.hasNext();)
        EXPECT_FALSE(QFileInfo(dirs.next()).permissions() & QFile::WriteOther)
            << dirs.filePath().toStdString();
    EXPECT_FALSE(run(u"dpkg-deb"_s, {u"-I"_s, s_deb, u"postinst"_s}).out.contains(u"777"_s));
}

// The menu entry and batch files as a type of their own with an icon, so that a double click
// opens them: the compiled MIME database of a scratch folder is asked, as the desktop would be.
TEST_F(InstalledPackage, RegistersWithTheDesktopAndInstallsTheManualPage) {
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
    for (const char* icon : {"32x32/apps/quirepress", "256x256/apps/quirepress",
                             "32x32/mimetypes/application-x-quirepress-batch",
                             "256x256/mimetypes/application-x-quirepress-batch"})
        EXPECT_GT(QFileInfo(inRoot(u"/usr/share/icons/hicolor/%1.png"_s.arg(icon))).size(), 0)
            << icon;

    const QString mime = s_work->filePath(u"mime"_s);
    QDir().mkpath(mime + u"/packages"_s);
    ASSERT_TRUE(QFile::copy(inRoot(u"/usr/share/mime/packages/quirepress.xml"_s),
                            mime + u"/packages/quirepress.xml"_s));
    ASSERT_EQ(run(u"update-mime-database"_s, {mime}).exitCode, 0);
    QFile globs(mime + u"/globs2"_s), icons(mime + u"/icons"_s);
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly) && icons.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains(":application/x-quirepress-batch:*.qpb"));
    EXPECT_TRUE(
        icons.readAll().contains("application/x-quirepress-batch:application-x-quirepress-batch"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"MANWIDTH"_s, u"200"_s);
    const Result page =
        run(u"man"_s, {u"-l"_s, inRoot(u"/usr/share/man/man1/quirepress.1.gz"_s)}, {}, env);
    EXPECT_EQ(page.exitCode, 0);
    EXPECT_EQ(page.err, QString());
    for (const char* words :
         {"quirepress --print [FILE]...", "EXIT STATUS", "PRINTER", "LPDEST", "CUPS_SERVER",
          "OfficeTimeout", "~/.config/Quirepress/Quirepress.conf"})
        EXPECT_TRUE(page.out.contains(QLatin1String(words))) << words;
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
    for (const QString& program : Programs) {
        const Result ldd = run(u"ldd"_s, {inRoot(program)});
        ASSERT_EQ(ldd.exitCode, 0) << ldd.err.toStdString();
        EXPECT_FALSE(ldd.out.contains(u"not found"_s)) << ldd.out.toStdString();
        const Result dynamic = run(u"readelf"_s, {u"-d"_s, inRoot(program)});
        for (const auto& needed : neededLine.globalMatch(dynamic.out)) {
            const QString soname = needed.captured(1);
            const auto where = QRegularExpression(QRegularExpression::escape(soname) + " => (\\S+)")
                                   .match(ldd.out);
            ASSERT_TRUE(where.hasMatch()) << soname.toStdString();
            const QString owner = owningPackage(where.captured(1));
            EXPECT_TRUE(!owner.isEmpty() && available.contains(owner))
                << program.toStdString() << " loads " << soname.toStdString() << " from package '"
                << owner.toStdString() << "', which the package does not bring along";
        }
        // Installed programs must not look for libraries in the folder they were built in.
        EXPECT_FALSE(dynamic.out.contains(BuildDir)) << dynamic.out.toStdString();
    }
}

// Started through the link on the PATH in a fresh home and ended after three seconds: running
// and silent by then means every library and plugin was found and the first window is up (on a
// first run, the question about the PDF server). The X platform plugin brings libraries of its
// own that the offscreen one does not need.
TEST_F(InstalledPackage, TheInstalledProgramStartsOffscreenAndOnAnXDisplay) {
    for (const QStringList& command :
         {QStringList{u"offscreen"_s},
          QStringList{u"xcb"_s, u"xvfb-run"_s, u"-a"_s, u"-s"_s, u"-nolisten tcp"_s}}) {
        SCOPED_TRACE(command.first().toStdString());
        QTemporaryDir home;
        QDir(home.path())
            .mkdir(u"runtime"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "LD_LIBRARY_PATH"})
            env.remove(QLatin1String(name));
        env.insert(u"QT_QPA_PLATFORM"_s, command.first());
        env.insert(u"HOME"_s, home.path());
        env.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, home.filePath(u"runtime"_s));
        const QStringList line =
            command.mid(1) + QStringList{u"timeout"_s, u"--kill-after=5"_s, u"3"_s,
                                         inRoot(u"/usr/bin/quirepress"_s)};
        const Result started = run(line.first(), line.mid(1), home.path(), env);
        // timeout's own exit codes for a program it had to end (124, or 137 after SIGKILL).
        EXPECT_TRUE(started.exitCode == 124 || started.exitCode == 137) << started.exitCode;
        QStringList errors = started.err.split('\n', Qt::SkipEmptyParts);
        // The offscreen platform's notice about window manager hints it has no use for.
        errors.removeAll(u"This plugin does not support propagateSizeHints()"_s);
        EXPECT_EQ(errors, QStringList());
    }
}

TEST(PlainInstall, IntoAnyOtherFolderWritesTheRuntimeFolderAndNothingElse) {
    QTemporaryDir target;
    const QString prefix = target.filePath(u"quirepress"_s);
    ASSERT_EQ(run(u"cmake"_s, {u"--install"_s, BuildDir, u"--prefix"_s, prefix}).exitCode, 0);
    QStringList found;
    for (QDirIterator entries(target.path(), QDir::AllEntries | QDir::NoDotAndDotDot,
                              QDirIterator::Subdirectories);
         entries.hasNext();)
        found << entries.next().mid(target.path().size());
    found.sort();
    EXPECT_EQ(found,
              QStringList({u"/quirepress"_s, u"/quirepress/helpfiles"_s,
                           u"/quirepress/helpfiles/Quirepress.chm"_s, u"/quirepress/quirepress"_s,
                           u"/quirepress/quirepress-pdf-server"_s}));
}

} // namespace
} // namespace qp
