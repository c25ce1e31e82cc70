#include "help/HelpLauncher.h"
#include "platform/DesktopHelpViewer.h"
#include "support/Fakes.h"
#include "ui/QtFileDialogBackend.h"
#include "ui/QtPrompter.h"

#include <QtTest>
#include <QtWidgets>
#include <gtest/gtest.h>

namespace qp {
namespace {

TEST(QtPrompterTest, ShowsARealMessageBoxAndReturnsTheAnswer) {
    QStringList seen;
    for (const QMessageBox::StandardButton button : {QMessageBox::No, QMessageBox::Yes}) {
        QTimer::singleShot(0, [&] { // runs inside the box's modal loop
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen << box->windowTitle() << box->text() << QString::number(box->icon());
            box->button(button)->click();
        });
        const PromptAnswer answer =
            QtPrompter().ask("One\r\nTwo", seen.isEmpty() ? "Clear List..." : "",
                             PromptButtons::YesNo, PromptIcon::Exclamation);
        EXPECT_EQ(answer, button == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No);
    }
    EXPECT_EQ(seen, (QStringList{"Clear List...", "One\nTwo", "2", "Quirepress", "One\nTwo", "2"}));
}

TEST(QtFileDialogBackendTest, ARealDialogListsWhatItsFilterShowsAndReturnsTheChoiceOrNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    QFile(dir.filePath("a.doc")).open(QIODevice::WriteOnly);
    QFile server(dir.filePath("pdf server"));
    ASSERT_TRUE(server.open(QIODevice::WriteOnly));
    server.setPermissions(server.permissions() | QFile::ExeOwner);
    QStringList listed;
    const auto choose = [&](const QString& name) {
        QMetaObject::invokeMethod( // runs in the dialog's loop before its folder is read
            qApp,
            [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                auto* model = dialog->findChild<QFileSystemModel*>();
                QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
                ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.contains({dir.path()}); }, 10000))
                    << "the folder never finished loading";
                auto* view = dialog->findChild<QListView*>("listView");
                listed << dialog->windowTitle() + ": " + dialog->selectedNameFilter();
                for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                    listed << view->model()->index(row, 0, view->rootIndex()).data().toString();
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
                QMetaObject::invokeMethod(dialog, name.isEmpty() ? "reject" : "accept");
            },
            Qt::QueuedConnection);
        return QtFileDialogBackend().choose(
            {FileDialogRequest::Mode::Open, "Find", "Program Files (*.exe)|*.exe", dir.path(), {}});
    };
    EXPECT_EQ(choose("pdf server"), dir.filePath("pdf server"));
    listed.sort(); // the view's order is its own
    EXPECT_EQ(listed, (QStringList{"Find: Program Files (*)", "pdf server", "sub"}));
    EXPECT_EQ(choose(""), std::nullopt);
    EXPECT_EQ(QtFileDialogBackend::nameFilters("Word Files (*.doc)|*.doc|Any|*.a;*.b"),
              (QStringList{"Word Files (*.doc)", "Any (*.a *.b)"}));
}

// Qt hands the help file to the desktop's launcher, here one that writes down what it was asked
// to open. A missing help file or launcher is the desktop's to report. This executable asks again
// in a process of its own on a real X display, since Qt may keep the launcher it finds for later
// requests: the first folder's PATH has none.
TEST(DesktopHelpViewerOnX, HandsTheHelpFileToTheLauncherEachTimeAndNeverShowsAWindow) {
    const QStringList asked = qEnvironmentVariable("QP_HELP_PROBE").split('\n');
    if (asked.size() > 1) { // that process: runtime folders, each with the PATH to look in
        QWidget owner;
        owner.show();
        DesktopHelpViewer viewer;
        for (qsizetype at = 0; at + 1 < asked.size(); at += 2) {
            qputenv("PATH", asked[at + 1].toLocal8Bit());
            for (int request = 0; request < 2; ++request) // twice, like the main window
                HelpLauncher(viewer, asked[at]).showContents(owner.winId());
        }
        QTest::qWait(500);
        for (QWidget* widget : QApplication::topLevelWidgets())
            EXPECT_TRUE(widget == &owner || !widget->isVisible()) << "it showed a window";
        return;
    }
    QTemporaryDir root;
    const QString record = root.filePath("opened.txt");
    QFile launcher(root.filePath("xdg-open"));
    ASSERT_TRUE(launcher.open(QIODevice::WriteOnly));
    launcher.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + record.toUtf8() + "'\n");
    launcher.setPermissions(launcher.permissions() | QFile::ExeOwner);
    launcher.close();
    const QString built = qEnvironmentVariable("QP_RUNTIME_DIR"),
                  odd = root.filePath("Quire press #2 100%");
    const QStringList requests{built, root.filePath("none"), built, root.path(), odd, root.path()};
    QProcess probe;
    probe.start("xvfb-run",
                {"-a", "-s", "-nolisten tcp", "env", "-u", "DESKTOP_LAUNCH", "QT_QPA_PLATFORM=xcb",
                 "QP_HELP_PROBE=" + requests.join('\n'), QCoreApplication::applicationFilePath(),
                 "--gtest_filter=DesktopHelpViewerOnX.*"});
    ASSERT_TRUE(probe.waitForFinished(60000)) << "xvfb-run is needed";
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardOutput().toStdString();
    QStringList expected;
    for (const QString& dir : {built, built, odd, odd})
        expected
            << QUrl::fromLocalFile(HelpLauncher::helpFilePath(dir)).toString(QUrl::FullyEncoded);
    expected.sort();
    QStringList opened; // the launchers run on their own; give them a moment to write
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QFile file(record);
            if (file.open(QIODevice::ReadOnly))
                opened = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
            return opened.size() >= expected.size();
        },
        10000));
    opened.sort();
    EXPECT_EQ(opened, expected);
}

// Every page, the contents and the index are compiled into the help file.
TEST(CompiledHelp, HoldsEveryPageTheContentsAndTheIndex) {
    QProcess chmls;
    chmls.start("chmls",
                {"-n", "list", HelpLauncher::helpFilePath(qEnvironmentVariable("QP_RUNTIME_DIR"))});
    ASSERT_TRUE(chmls.waitForFinished(30000) && chmls.exitCode() == 0);
    const QStringList listed = QString::fromUtf8(chmls.readAllStandardOutput()).split('\n');
    const QDir sources(qEnvironmentVariable("QP_SOURCE_DIR") + "/helpsrc/");
    for (const QString& source : sources.entryList({"*.html", "*.hhc", "*.hhk"}, QDir::Files))
        EXPECT_TRUE(listed.contains('/' + source)) << source.toStdString();
}

} // namespace
} // namespace qp
