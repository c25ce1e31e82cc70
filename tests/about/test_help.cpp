#include "core/AppError.h"
#include "help/modHelp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>
#include <ostream>
#include <stdexcept>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace qp {
namespace {

class RecordingViewer : public HelpViewer {
public:
    struct Call {
        QString path;
        quintptr owner;
    };
    void showContents(const QString& path, quintptr ownerWindow) override {
        calls.push_back({path, ownerWindow});
    }
    std::vector<Call> calls;
};

template <typename Failure> class FailingViewer : public HelpViewer {
public:
    explicit FailingViewer(Failure failure) : m_failure(std::move(failure)) {}
    void showContents(const QString&, quintptr) override { throw m_failure; }

private:
    Failure m_failure;
};

int visibleTopLevelWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        count += widget->isVisible() ? 1 : 0;
    }
    return count;
}

TEST(ShowHelpContents, OpensTheFileInHelpfilesBesideTheExecutableJoinedAsItIs) {
    RecordingViewer viewer;
    ShowHelpContents(viewer, QStringLiteral("/opt/quirepress"), 0x2a00017);
    ShowHelpContents(viewer, QStringLiteral("/home/ann/Quire press #2/"), 7);
    ASSERT_EQ(viewer.calls.size(), 2u);
    EXPECT_EQ(viewer.calls[0].path, QStringLiteral("/opt/quirepress/helpfiles/Quirepress.chm"));
    EXPECT_EQ(viewer.calls[0].owner, quintptr(0x2a00017));
    EXPECT_EQ(viewer.calls[1].path,
              QStringLiteral("/home/ann/Quire press #2//helpfiles/Quirepress.chm"));
}

TEST(ShowHelpContents, AskingAgainCallsTheViewerAgainWithTheSameArguments) {
    // F1 and "&Contents" both end here; neither is remembered between requests.
    RecordingViewer viewer;
    for (int request = 0; request < 3; ++request) {
        ShowHelpContents(viewer, QStringLiteral("/opt/quirepress"), 99);
    }
    ASSERT_EQ(viewer.calls.size(), 3u);
    for (const auto& call : viewer.calls) {
        EXPECT_EQ(call.path, viewer.calls[0].path);
        EXPECT_EQ(call.owner, quintptr(99));
    }
}

TEST(ShowHelpContents, AViewerThatFailsCostsNothingAndShowsNothing) {
    const int windowsBefore = visibleTopLevelWindows();
    FailingViewer<AppError> appError(AppError(53, QStringLiteral("File not found")));
    FailingViewer<std::runtime_error> runtimeError(std::runtime_error("no viewer"));
    FailingViewer<int> odd(42);
    EXPECT_NO_THROW(ShowHelpContents(appError, QStringLiteral("/opt/quirepress"), 1));
    EXPECT_NO_THROW(ShowHelpContents(runtimeError, QStringLiteral("/opt/quirepress"), 1));
    EXPECT_NO_THROW(ShowHelpContents(odd, QStringLiteral("/opt/quirepress"), 1));
    QCoreApplication::processEvents();
    EXPECT_EQ(visibleTopLevelWindows(), windowsBefore);
}

// The desktop's part, for real: the probe runs DesktopHelpViewer on an X server of its own
// with Qt's desktop services, which hand the file to the desktop's launcher (xdg-open).
// The launcher found on the probe's PATH writes down what it was asked to open.
class DesktopHelpViewerOnX : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_launcherDir = m_root.filePath(QStringLiteral("launcher"));
        m_emptyDir = m_root.filePath(QStringLiteral("nothing"));
        m_record = m_root.filePath(QStringLiteral("opened.txt"));
        QDir().mkpath(m_launcherDir);
        QDir().mkpath(m_emptyDir);
        QFile launcher(m_launcherDir + QStringLiteral("/xdg-open"));
        ASSERT_TRUE(launcher.open(QIODevice::WriteOnly));
        launcher.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + m_record.toUtf8() + "'\n");
        launcher.close();
        launcher.setPermissions(launcher.permissions() | QFile::ExeOwner);
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty())
            << "xvfb-run (Debian package xvfb) is needed";
    }

    // Runs the probe; returns its exit code, or -1 when it did not finish.
    int runProbe(const QString& executableDir, const QString& lookupPath) {
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral("xvfb-run"),
                    {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-nolisten tcp"),
                     QCoreApplication::applicationDirPath() + QStringLiteral("/help_open_probe"),
                     executableDir, lookupPath});
        if (!probe.waitForFinished(60000)) {
            probe.kill();
            probe.waitForFinished();
            return -1;
        }
        return probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1;
    }

    QStringList recordedRequests(int expected) {
        QElapsedTimer waited;
        waited.start();
        QStringList lines;
        do {
            QFile record(m_record);
            if (record.open(QIODevice::ReadOnly)) {
                lines = QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts);
            }
            if (lines.size() >= expected) {
                break;
            }
            QTest::qWait(100);
        } while (waited.elapsed() < 10000);
        return lines;
    }

    QTemporaryDir m_root;
    QString m_launcherDir;
    QString m_emptyDir;
    QString m_record;
};

TEST_F(DesktopHelpViewerOnX, HandsTheHelpFileToTheDesktopsLauncherEachTimeItIsAskedFor) {
    // The build's own runtime folder, where the compiled help lies beside the executable.
    const QString runtimeDir = qEnvironmentVariable("QP_RUNTIME_DIR");
    ASSERT_FALSE(runtimeDir.isEmpty());
    ASSERT_TRUE(QFile::exists(HelpFilePath(runtimeDir))) << "help not built";

    EXPECT_EQ(runProbe(runtimeDir, m_launcherDir), 0) << "the program showed a window";
    const QString expected =
        QUrl::fromLocalFile(HelpFilePath(runtimeDir)).toString(QUrl::FullyEncoded);
    EXPECT_EQ(recordedRequests(2), QStringList({expected, expected}));
}

TEST_F(DesktopHelpViewerOnX, AMissingHelpFileIsLeftToTheDesktopToReport) {
    // Blanks, '#' and '%' in the folder must reach the launcher as part of the path.
    const QString folder = m_root.filePath(QStringLiteral("Quire press #2 100%"));
    QDir().mkpath(folder);
    EXPECT_EQ(runProbe(folder, m_launcherDir), 0) << "the program showed a window";
    const QStringList requests = recordedRequests(2);
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(QUrl(requests[0]).toLocalFile(), HelpFilePath(folder));
}

TEST_F(DesktopHelpViewerOnX, WithoutAnyLauncherTheProgramShowsNothingAndGoesOn) {
    const QString runtimeDir = qEnvironmentVariable("QP_RUNTIME_DIR");
    EXPECT_EQ(runProbe(runtimeDir, m_emptyDir), 0);
    EXPECT_FALSE(QFile::exists(m_record));
}

} // namespace
} // namespace qp
