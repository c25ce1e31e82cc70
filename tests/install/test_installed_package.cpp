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

struct Result {
    int exitCode = -1;
    QString out, err;
};

Result run(const QString& program, const QStringList& arguments, const QString& workingDir = {}) {
    QProcess process;
    process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    const bool ended =
        process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// Package names as dpkg writes them in Depends: alternatives and versions dropped.
QSet<QString> packageNames(const QString& dependsField) {
    QSet<QString> names;
    for (const QString& part : dependsField.split(QRegularExpression("[,|]")))
        names.insert(part.trimmed().section(' ', 0, 0).section(':', 0, 0));
    names.remove(QString());
    return names;
}

// Everything the declared packages bring along on this machine, as apt would install them:
// their dependencies through every level, virtual ones by the packages that provide them.
QSet<QString> dependencyClosure(const QSet<QString>& declared) {
    QSet<QString> names;
    const QString options = "depends --recurse --installed --no-recommends --no-suggests "
                            "--no-conflicts --no-breaks --no-replaces --no-enhances";
    const Result tree =
        run("apt-cache", options.split(' ') + QStringList(declared.begin(), declared.end()));
    for (const QString& line : tree.out.split('\n', Qt::SkipEmptyParts)) {
        if (!line.startsWith(' '))
            names.insert(line.section(':', 0, 0));
    }
    return names;
}

// The installed package that holds a file, as ldd found it; /lib and /usr/lib are one.
QString owningPackage(const QString& path) {
    QStringList candidates;
    for (const QString& file : {path, QFileInfo(path).canonicalFilePath()})
        candidates << file << (file.startsWith("/usr/") ? file.mid(4) : "/usr" + file);
    return run("dpkg-query", QStringList("-S") + candidates).out.section(':', 0, 0).trimmed();
}

// Every path under root that matches filters, relative to root, sorted.
QStringList entriesUnder(const QString& root, QDir::Filters filters) {
    QStringList found;
    for (QDirIterator it(root, filters | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
         it.hasNext();)
        found << it.next().mid(root.size());
    found.sort();
    return found;
}

const QString BuildDir = qEnvironmentVariable("QP_BUILD_DIR");
const QStringList Programs = {"/opt/quirepress/quirepress",
                              "/opt/quirepress/quirepress-pdf-server"};

class InstalledPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_work = std::make_unique<QTemporaryDir>();
        const QString packages = s_work->filePath("packages");
        const Result cpack =
            run("cpack", {"--config", BuildDir + "/CPackConfig.cmake", "-G", "DEB", "-B", packages},
                BuildDir);
        ASSERT_EQ(cpack.exitCode, 0) << cpack.out.toStdString() << cpack.err.toStdString();
        const QStringList debs = QDir(packages).entryList({"*.deb"}, QDir::Files);
        ASSERT_EQ(debs.size(), 1) << cpack.out.toStdString();
        s_deb = packages + u'/' + debs.first();
        ASSERT_EQ(run("dpkg-deb", {"-x", s_deb, s_work->filePath("root")}).exitCode, 0);
        s_root = s_work->filePath("root");
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
    EXPECT_GT(QFileInfo(inRoot("/opt/quirepress/helpfiles/Quirepress.chm")).size(), 1000);
    const QFileInfo link(inRoot("/usr/bin/quirepress"));
    EXPECT_TRUE(link.isSymLink());
    EXPECT_EQ(link.canonicalFilePath(), QFileInfo(inRoot(Programs[0])).canonicalFilePath());

    const QRegularExpression allowed(
        "^(/opt/quirepress/|/usr/bin/quirepress$|/usr/share/applications/quirepress\\.desktop$|"
        "/usr/share/icons/hicolor/|/usr/share/mime/packages/quirepress\\.xml$|"
        "/usr/share/man/man1/quirepress\\.1\\.gz$)");
    const QStringList files = entriesUnder(s_root, QDir::Files | QDir::System);
    EXPECT_GE(files.size(), 11);
    for (const QString& file : files)
        EXPECT_TRUE(allowed.match(file).hasMatch()) << "unexpected file: " << file.toStdString();
    // No folder every user may write to, nor a maintainer script that makes one: batches are
    // each user's own.
    for (const QString& folder : entriesUnder(s_root, QDir::Dirs))
        EXPECT_FALSE(QFileInfo(s_root + folder).permissions() & QFile::WriteOther)
            << folder.toStdString();
    EXPECT_FALSE(run("dpkg-deb", {"-I", s_deb, "postinst"}).out.contains("777"));
}

// The menu entry and batch files as a type of their own with an icon, so that a double click
// opens them: the compiled MIME database of a scratch folder is asked, as the desktop would be.
TEST_F(InstalledPackage, RegistersWithTheDesktopAndInstallsTheManualPage) {
    QFile entry(inRoot("/usr/share/applications/quirepress.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
    EXPECT_EQ(lines.first(), "[Desktop Entry]");
    for (const char* line :
         {"Type=Application", "Name=Quirepress", "Exec=/opt/quirepress/quirepress %F",
          "Icon=quirepress", "Categories=Office;",
          "MimeType=application/x-quirepress-batch;application/msword;application/vnd.ms-excel;"
          "application/vnd.ms-powerpoint;application/pdf;"})
        EXPECT_TRUE(lines.contains(QLatin1String(line))) << line;
    for (const char* icon : {"32x32/apps/quirepress", "256x256/apps/quirepress",
                             "32x32/mimetypes/application-x-quirepress-batch",
                             "256x256/mimetypes/application-x-quirepress-batch"})
        EXPECT_GT(QFileInfo(inRoot(QString("/usr/share/icons/hicolor/%1.png").arg(icon))).size(), 0)
            << icon;

    const QString mime = s_work->filePath("mime");
    QDir().mkpath(mime + "/packages");
    ASSERT_TRUE(QFile::copy(inRoot("/usr/share/mime/packages/quirepress.xml"),
                            mime + "/packages/quirepress.xml"));
    ASSERT_EQ(run("update-mime-database", {mime}).exitCode, 0);
    QFile globs(mime + "/globs2"), icons(mime + "/icons");
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly) && icons.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains(":application/x-quirepress-batch:*.qpb"));
    EXPECT_TRUE(
        icons.readAll().contains("application/x-quirepress-batch:application-x-quirepress-batch"));

    const Result page =
        run("env", {"MANWIDTH=200", "man", "-l", inRoot("/usr/share/man/man1/quirepress.1.gz")});
    EXPECT_EQ(page.exitCode, 0);
    EXPECT_EQ(page.err, QString());
    for (const char* words :
         {"quirepress --print [FILE]...", "EXIT STATUS", "PRINTER", "LPDEST", "CUPS_SERVER",
          "OfficeTimeout", "~/.config/Quirepress/Quirepress.conf"})
        EXPECT_TRUE(page.out.contains(QLatin1String(words))) << words;
}

TEST_F(InstalledPackage, DeclaresThePackagesUsersNeedAndEveryLibraryTheProgramsLoad) {
    const QSet<QString> declared = packageNames(run("dpkg-deb", {"-f", s_deb, "Depends"}).out);
    for (const char* needed : {"libreoffice-core", "libreoffice-writer", "libreoffice-calc",
                               "libreoffice-impress", "cups-client", "libcups2", "libqt6widgets6",
                               "libqt6dbus6", "qt6-qpa-plugins", "libpoppler-cpp0v5"})
        EXPECT_TRUE(declared.contains(QLatin1String(needed))) << needed;

    const QSet<QString> available = dependencyClosure(declared);
    const QRegularExpression neededLine("\\(NEEDED\\)\\s+Shared library: \\[(.+)\\]");
    for (const QString& program : Programs) {
        const Result ldd = run("ldd", {inRoot(program)});
        ASSERT_EQ(ldd.exitCode, 0) << ldd.err.toStdString();
        EXPECT_FALSE(ldd.out.contains("not found")) << ldd.out.toStdString();
        const Result dynamic = run("readelf", {"-d", inRoot(program)});
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
    for (const QStringList& platform :
         {QStringList{"offscreen"}, QStringList{"xcb", "xvfb-run", "-a", "-s", "-nolisten tcp"}}) {
        SCOPED_TRACE(platform.first().toStdString());
        QTemporaryDir home;
        QDir(home.path()).mkdir("runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QStringList command =
            QString("-u DISPLAY -u WAYLAND_DISPLAY -u LD_LIBRARY_PATH QT_QPA_PLATFORM=%1 HOME=%2 "
                    "XDG_CONFIG_HOME=%2/config XDG_RUNTIME_DIR=%2/runtime")
                .arg(platform.first(), home.path())
                .split(' ') +
            platform.mid(1) +
            QStringList{"timeout", "--kill-after=5", "3", inRoot("/usr/bin/quirepress")};
        const Result started = run("env", command, home.path());
        // timeout's own exit codes for a program it had to end (124, or 137 after SIGKILL).
        EXPECT_TRUE(started.exitCode == 124 || started.exitCode == 137) << started.exitCode;
        QStringList errors = started.err.split('\n', Qt::SkipEmptyParts);
        // The offscreen platform's notice about window manager hints it has no use for.
        errors.removeAll("This plugin does not support propagateSizeHints()");
        EXPECT_EQ(errors, QStringList());
    }
}

TEST(PlainInstall, IntoAnyOtherFolderWritesTheRuntimeFolderAndNothingElse) {
    QTemporaryDir target;
    const QString prefix = target.filePath("quirepress");
    ASSERT_EQ(run("cmake", {"--install", BuildDir, "--prefix", prefix}).exitCode, 0);
    EXPECT_EQ(
        entriesUnder(target.path(), QDir::AllEntries),
        QStringList({"/quirepress", "/quirepress/helpfiles", "/quirepress/helpfiles/Quirepress.chm",
                     "/quirepress/quirepress", "/quirepress/quirepress-pdf-server"}));
}

} // namespace
} // namespace qp
