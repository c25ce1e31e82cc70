// The Debian package of this build tree, unpacked into a fresh root, as a user would meet it.
// GLib's headers first: Qt's keywords would clash with their member names.
#include <gio/gdesktopappinfo.h>

#include "support/Fakes.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qp {
namespace {

QString outputOf(const QString& program, const QStringList& arguments) {
    return std::get<1>(test::runProgram(program, arguments));
}

const QString BuildDir = qEnvironmentVariable("QP_BUILD_DIR");

TEST(InstalledPackage, HoldsTheRuntimeFolderTheBatchTypeAndTheRuntimePackagesAndStarts) {
    QTemporaryDir work;
    const QString packages = work.filePath("packages"), root = work.filePath("root");
    const auto [packed, packOut, packErr] = test::runProgram(
        "cpack", {"--config", BuildDir + "/CPackConfig.cmake", "-G", "DEB", "-B", packages},
        BuildDir);
    ASSERT_EQ(packed, 0) << qPrintable(packOut + packErr);
    const QStringList debs = QDir(packages).entryList({"*.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << qPrintable(packOut);
    const QString deb = packages + '/' + debs.first();
    ASSERT_EQ(std::get<0>(test::runProgram("dpkg-deb", {"-x", deb, root})), 0);

    EXPECT_TRUE(QFileInfo(root + "/opt/quirepress/quirepress-pdf-server").isExecutable());
    EXPECT_GT(QFileInfo(root + "/opt/quirepress/helpfiles/Quirepress.chm").size(), 1000);
    EXPECT_TRUE(QFileInfo(root + "/opt/quirepress/helpfiles/html/index.html").isFile());
    const QFileInfo link(root + "/usr/bin/quirepress");
    EXPECT_EQ(link.canonicalFilePath(),
              QFileInfo(root + "/opt/quirepress/quirepress").canonicalFilePath());
    // The hot folder's unit starts the installed program on the folder of its instance.
    QFile unit(root + "/usr/lib/systemd/user/quirepress-watch@.service");
    EXPECT_TRUE(unit.open(QIODevice::ReadOnly) &&
                unit.readAll().contains("\nExecStart=/opt/quirepress/quirepress --watch %f\n"));
    // No folder every user may write to, nor a maintainer script that makes one: batches are
    // each user's own.
    EXPECT_EQ(outputOf("find", {root, "-type", "d", "-perm", "-o+w"}), QString());
    EXPECT_FALSE(outputOf("dpkg-deb", {"-I", deb, "postinst"}).contains("777"));

    // A double click opens a batch file when the desktop's MIME database, compiled here from
    // the package alone, knows its type and the menu entry takes that type.
    ASSERT_EQ(std::get<0>(test::runProgram("update-mime-database", {root + "/usr/share/mime"})), 0);
    QFile globs(root + "/usr/share/mime/globs2");
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains(":application/x-quirepress-batch:*.qpb"));
    // Menus and "Open with" load the entry with GLib, which drops it unless TryExec and the
    // program of Exec are found (here on a PATH of the package's own bin folder).
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(root + "/usr/bin"));
    GDesktopAppInfo* entry = g_desktop_app_info_new_from_filename(
        QFile::encodeName(root + "/usr/share/applications/quirepress.desktop").constData());
    qputenv("PATH", path);
    ASSERT_NE(entry, nullptr) << "GLib does not load the desktop entry";
    EXPECT_TRUE(g_app_info_should_show(G_APP_INFO(entry)));
    QStringList types;
    for (const char* const* type = g_app_info_get_supported_types(G_APP_INFO(entry)); type && *type;
         ++type)
        types << QString::fromUtf8(*type);
    g_object_unref(entry);
    EXPECT_TRUE(types.contains("application/x-quirepress-batch")) << qPrintable(types.join(' '));

    // What shlibdeps cannot see: the office and CUPS tools run as programs, Qt's plugins.
    const QString depends = outputOf("dpkg-deb", {"-f", deb, "Depends"});
    for (const char* needed : {"libreoffice-core", "libreoffice-writer", "libreoffice-calc",
                               "libreoffice-impress", "cups-client", "qt6-qpa-plugins"})
        EXPECT_TRUE(depends.contains(QRegularExpression(QString("(^|[ ,|])%1\\b").arg(needed))))
            << needed << " missing from " << qPrintable(depends);

    // Started through the link in a fresh home and ended after three seconds: running and
    // silent by then means every library and plugin was found and the first window is up.
    // The X platform plugin brings libraries of its own that the offscreen one does not need.
    for (const QStringList& platform :
         {QStringList{"offscreen"}, QStringList{"xcb", "xvfb-run", "-a", "-s", "-nolisten tcp"}}) {
        SCOPED_TRACE(platform.first().toStdString());
        QTemporaryDir home;
        const QStringList command =
            QString("-u DISPLAY -u WAYLAND_DISPLAY -u LD_LIBRARY_PATH QT_QPA_PLATFORM=%1 HOME=%2 "
                    "XDG_CONFIG_HOME=%2/config XDG_RUNTIME_DIR=%2")
                .arg(platform.first(), home.path())
                .split(' ') +
            platform.mid(1) + QStringList{"timeout", "--kill-after=5", "3", link.filePath()};
        const auto [status, out, err] = test::runProgram("env", command, home.path());
        // timeout's own exit codes for a program it had to end (124, or 137 after SIGKILL).
        EXPECT_TRUE(status == 124 || status == 137) << status;
        QStringList errors = err.split('\n', Qt::SkipEmptyParts);
        // The offscreen platform's notice about window manager hints it has no use for.
        errors.removeAll("This plugin does not support propagateSizeHints()");
        EXPECT_EQ(errors, QStringList());
    }
}

} // namespace
} // namespace qp
