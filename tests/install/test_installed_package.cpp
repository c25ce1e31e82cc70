// Builds the Debian package from the build tree with cpack, unpacks it into a fresh root and
// checks what a user gets: the runtime folder, the menu entry, the link on the PATH, declared
// dependencies that cover every library the programs load, and a program that starts.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace qp {
namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

Result run(const QString& program, const QStringList& arguments, int timeoutMs = 120000,
           const QString& workingDir = QString()) {
    QProcess process;
    if (!workingDir.isEmpty()) {
        process.setWorkingDirectory(workingDir);
    }
    process.start(program, arguments);
    Result result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("did not finish");
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
    for (const QString& part : dependsField.split(QRegularExpression(QStringLiteral("[,|]")))) {
        QString name =
            part.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0);
        if (!name.isEmpty()) {
            names.insert(name);
        }
    }
    return names;
}

// Everything the declared packages bring along on this machine, as apt would install it:
// their dependencies, followed through every level, and the packages providing virtual ones.
QSet<QString> dependencyClosure(const QSet<QString>& declared) {
    const Result installed =
        run(QStringLiteral("dpkg-query"),
            {QStringLiteral("-W"),
             QStringLiteral("-f=${Package}\t${Depends}, ${Pre-Depends}\t${Provides}\n")});
    QHash<QString, QSet<QString>> dependsOf;
    QHash<QString, QSet<QString>> providersOf;
    for (const QString& line : installed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList columns = line.split(QLatin1Char('\t'));
        if (columns.size() != 3) {
            continue;
        }
        dependsOf[columns[0]] = packageNames(columns[1]);
        for (const QString& provided : packageNames(columns[2])) {
            providersOf[provided].insert(columns[0]);
        }
    }
    QSet<QString> seen;
    QStringList pending(declared.begin(), declared.end());
    while (!pending.isEmpty()) {
        const QString name = pending.takeLast();
        if (seen.contains(name)) {
            continue;
        }
        seen.insert(name);
        for (const QString& next : dependsOf.value(name) + providersOf.value(name)) {
            pending << next;
        }
    }
    return seen;
}

class InstalledPackage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_work = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(s_work->isValid());
        const QString build = qEnvironmentVariable("QP_BUILD_DIR");
        ASSERT_FALSE(build.isEmpty());
        const QString packages = s_work->filePath(QStringLiteral("packages"));
        const Result cpack =
            run(QStringLiteral("cpack"),
                {QStringLiteral("--config"), build + QStringLiteral("/CPackConfig.cmake"),
                 QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), packages},
                300000, build);
        ASSERT_EQ(cpack.exitCode, 0) << cpack.out.toStdString() << cpack.err.toStdString();
        const QStringList debs = QDir(packages).entryList({QStringLiteral("*.deb")}, QDir::Files);
        ASSERT_EQ(debs.size(), 1) << cpack.out.toStdString();
        s_deb = packages + QLatin1Char('/') + debs.first();

        s_root = s_work->filePath(QStringLiteral("root"));
        s_control = s_work->filePath(QStringLiteral("control"));
        ASSERT_EQ(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), s_deb, s_root}).exitCode,
                  0);
        ASSERT_EQ(
            run(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), s_deb, s_control}).exitCode, 0);
    }

    static void TearDownTestSuite() { s_work.reset(); }

    void SetUp() override {
        if (!s_work || s_root.isEmpty() || !QFileInfo::exists(s_root)) {
            GTEST_FAIL() << "the package could not be built or unpacked";
        }
    }

    static QString inRoot(const QString& path) { return s_root + path; }

    static QString field(const QString& name) {
        return run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), s_deb, name}).out.trimmed();
    }

    static inline std::unique_ptr<QTemporaryDir> s_work;
    static inline QString s_deb;
    static inline QString s_root;
    static inline QString s_control;
};

const QStringList InstalledPrograms = {QStringLiteral("/opt/quirepress/quirepress"),
                                       QStringLiteral("/opt/quirepress/quirepress-pdf-server")};

TEST_F(InstalledPackage, PutsTheRuntimeFolderUnderOptAndOnlyDesktopFilesElsewhere) {
    for (const QString& program : InstalledPrograms) {
        const QFileInfo info(inRoot(program));
        EXPECT_TRUE(info.isFile() && info.isExecutable()) << program.toStdString();
    }
    EXPECT_TRUE(
        QFileInfo(inRoot(QStringLiteral("/opt/quirepress/helpfiles/Quirepress.chm"))).size() >
        1000);
    const QDir batchBin(inRoot(QStringLiteral("/opt/quirepress/BatchBin")));
    EXPECT_TRUE(batchBin.exists());
    EXPECT_TRUE(batchBin.isEmpty());

    const QStringList allowedOutside = {
        QStringLiteral("/usr/bin/quirepress"),
        QStringLiteral("/usr/share/applications/quirepress.desktop"),
        QStringLiteral("/usr/share/icons/hicolor/")};
    QDirIterator files(s_root, QDir::Files | QDir::System | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    int count = 0;
    while (files.hasNext()) {
        const QString path = files.next().mid(s_root.size());
        ++count;
        if (path.startsWith(QStringLiteral("/opt/quirepress/"))) {
            continue;
        }
        bool allowed = false;
        for (const QString& prefix : allowedOutside) {
            allowed = allowed || path.startsWith(prefix);
        }
        EXPECT_TRUE(allowed) << "unexpected file in the package: " << path.toStdString();
    }
    EXPECT_GE(count, 7);
}

TEST_F(InstalledPackage, TheCommandOnThePathLeadsToTheProgramInOpt) {
    const QFileInfo link(inRoot(QStringLiteral("/usr/bin/quirepress")));
    ASSERT_TRUE(link.isSymLink());
    EXPECT_EQ(link.canonicalFilePath(),
              QFileInfo(inRoot(QStringLiteral("/opt/quirepress/quirepress"))).canonicalFilePath());
}

TEST_F(InstalledPackage, PutsQuirepressIntoTheDesktopMenuWithItsIcon) {
    QFile entry(inRoot(QStringLiteral("/usr/share/applications/quirepress.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.first(), QStringLiteral("[Desktop Entry]"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Type=Application")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Name=Quirepress")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Exec=/opt/quirepress/quirepress")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Icon=quirepress")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Categories=Office;")));
    // The theme's icon for Icon=quirepress, in the sizes menus ask for.
    for (const char* size : {"32x32", "256x256"}) {
        const QString icon = QStringLiteral("/usr/share/icons/hicolor/%1/apps/quirepress.png")
                                 .arg(QLatin1String(size));
        EXPECT_TRUE(QFileInfo(inRoot(icon)).size() > 0) << icon.toStdString();
    }
}

TEST_F(InstalledPackage, DeclaresThePackagesUsersNeedAndEveryLibraryTheProgramsLoad) {
    const QSet<QString> declared = packageNames(field(QStringLiteral("Depends")));
    for (const char* needed : {"libreoffice-core", "libreoffice-writer", "libreoffice-calc",
                               "libreoffice-impress", "cups-client", "libcups2", "libqt6widgets6",
                               "libqt6dbus6", "qt6-qpa-plugins", "libpoppler-cpp0v5"}) {
        EXPECT_TRUE(declared.contains(QLatin1String(needed))) << needed;
    }

    const QSet<QString> available = dependencyClosure(declared);
    for (const QString& program : InstalledPrograms) {
        const Result ldd = run(QStringLiteral("ldd"), {inRoot(program)});
        ASSERT_EQ(ldd.exitCode, 0) << ldd.err.toStdString();
        EXPECT_FALSE(ldd.out.contains(QStringLiteral("not found"))) << ldd.out.toStdString();

        const Result dynamic =
            run(QStringLiteral("readelf"), {QStringLiteral("-d"), inRoot(program)});
        const QRegularExpression neededLine(
            QStringLiteral("\\(NEEDED\\)\\s+Shared library: \\[(.+)\\]"));
        for (const auto& needed : neededLine.globalMatch(dynamic.out)) {
            const QString soname = needed.captured(1);
            const QRegularExpression resolved(QRegularExpression::escape(soname) +
                                              QStringLiteral(" => (\\S+)"));
            const auto where = resolved.match(ldd.out);
            ASSERT_TRUE(where.hasMatch()) << soname.toStdString();
            const QString path = where.captured(1);
            QStringList candidates = {path, QFileInfo(path).canonicalFilePath()};
            for (const QString& candidate : QStringList(candidates)) {
                if (candidate.startsWith(QStringLiteral("/usr/lib/"))) {
                    candidates << candidate.mid(4);
                } else if (candidate.startsWith(QStringLiteral("/lib/"))) {
                    candidates << QStringLiteral("/usr") + candidate;
                }
            }
            QString owner;
            for (const QString& candidate : candidates) {
                const Result search =
                    run(QStringLiteral("dpkg-query"), {QStringLiteral("-S"), candidate});
                if (search.exitCode == 0) {
                    owner = search.out.section(QLatin1Char(':'), 0, 0).trimmed();
                    break;
                }
            }
            ASSERT_FALSE(owner.isEmpty()) << soname.toStdString() << " belongs to no package";
            EXPECT_TRUE(available.contains(owner))
                << program.toStdString() << " loads " << soname.toStdString() << " from "
                << owner.toStdString() << ", which the package does not bring along";
        }

        // Installed programs must not look for libraries in the folder they were built in.
        const QString build = qEnvironmentVariable("QP_BUILD_DIR");
        EXPECT_FALSE(dynamic.out.contains(build)) << dynamic.out.toStdString();
    }
}

// An X server of the test's own, for starting the program as on a desktop.
class PrivateXServer {
public:
    PrivateXServer() {
        for (int number = 90; number < 200; ++number) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)) ||
                QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) {
                continue;
            }
            m_display = QStringLiteral(":%1").arg(number);
            m_server.start(QStringLiteral("Xvfb"),
                           {m_display, QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                            QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1280x1024x24")});
            m_server.waitForStarted(10000);
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            for (int waited = 0; waited < 10000 && m_server.state() == QProcess::Running;
                 waited += 100) {
                if (QFileInfo::exists(socket)) {
                    return;
                }
                m_server.waitForFinished(100);
            }
            stop();
        }
        m_display.clear();
    }
    ~PrivateXServer() { stop(); }

    // Empty when no server could be started.
    QString display() const { return m_display; }

private:
    void stop() {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000)) {
                m_server.kill();
                m_server.waitForFinished();
            }
        }
    }

    QProcess m_server;
    QString m_display;
};

// Notices of the offscreen platform about window manager hints it has no use for.
bool isOffscreenPlatformNotice(const QString& line) {
    return line == QStringLiteral("This plugin does not support propagateSizeHints()");
}

struct StartResult {
    bool stillRunning = false;
    int exitCode = 0;
    QStringList errors;
};

// Starts the installed program through the command on the PATH and lets it run for three
// seconds: running and silent then means every library and plugin was found and the first
// window is up (on a first run, the question about the PDF print server).
StartResult startInstalled(const QString& command, const QString& platform,
                           const QString& display) {
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("DISPLAY"), display);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    env.remove(QStringLiteral("LD_LIBRARY_PATH"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(home.path());
    program.start(command, {});
    StartResult result;
    if (!program.waitForStarted(10000)) {
        result.errors << program.errorString();
        return result;
    }
    QByteArray errors;
    for (int waited = 0; waited < 3000 && program.state() == QProcess::Running; waited += 100) {
        program.waitForFinished(100);
        errors += program.readAllStandardError();
    }
    result.stillRunning = program.state() == QProcess::Running;
    if (result.stillRunning) {
        program.terminate();
        if (!program.waitForFinished(5000)) {
            program.kill();
            program.waitForFinished(10000);
        }
    } else {
        result.exitCode = program.exitCode();
    }
    errors += program.readAllStandardError();
    for (const QString& line : QString::fromLocal8Bit(errors).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty() && !(platform == QStringLiteral("offscreen") &&
                                           isOffscreenPlatformNotice(line.trimmed()))) {
            result.errors << line;
        }
    }
    return result;
}

TEST_F(InstalledPackage, TheInstalledProgramStartsOffscreenThroughTheCommandOnThePath) {
    const StartResult started = startInstalled(inRoot(QStringLiteral("/usr/bin/quirepress")),
                                               QStringLiteral("offscreen"), QString());
    EXPECT_TRUE(started.stillRunning)
        << "the program ended by itself with exit code " << started.exitCode;
    EXPECT_EQ(started.errors, QStringList());
}

TEST_F(InstalledPackage, TheInstalledProgramStartsOnAnXDisplay) {
    // The X platform plugin brings libraries of its own that the offscreen one does not need.
    PrivateXServer x;
    ASSERT_FALSE(x.display().isEmpty()) << "Xvfb (Debian package xvfb) could not be started";
    const StartResult started = startInstalled(inRoot(QStringLiteral("/usr/bin/quirepress")),
                                               QStringLiteral("xcb"), x.display());
    EXPECT_TRUE(started.stillRunning)
        << "the program ended by itself with exit code " << started.exitCode;
    EXPECT_EQ(started.errors, QStringList());
}

class PlainInstall : public ::testing::Test {};

TEST_F(PlainInstall, IntoAnyOtherFolderWritesTheRuntimeFolderAndNothingElse) {
    QTemporaryDir target;
    const QString prefix = target.filePath(QStringLiteral("quirepress"));
    const Result install = run(QStringLiteral("cmake"),
                               {QStringLiteral("--install"), qEnvironmentVariable("QP_BUILD_DIR"),
                                QStringLiteral("--prefix"), prefix});
    ASSERT_EQ(install.exitCode, 0) << install.err.toStdString();

    QStringList found;
    QDirIterator entries(target.path(), QDir::AllEntries | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        found << entries.next().mid(target.path().size());
    }
    found.sort();
    EXPECT_EQ(found,
              QStringList({QStringLiteral("/quirepress"), QStringLiteral("/quirepress/BatchBin"),
                           QStringLiteral("/quirepress/helpfiles"),
                           QStringLiteral("/quirepress/helpfiles/Quirepress.chm"),
                           QStringLiteral("/quirepress/quirepress"),
                           QStringLiteral("/quirepress/quirepress-pdf-server")}));
}

} // namespace
} // namespace qp
