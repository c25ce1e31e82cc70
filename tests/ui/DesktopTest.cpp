#include "help/HelpLauncher.h"
#include "platform/DesktopHelpViewer.h"
#include "support/Fakes.h"
#include "ui/AboutDialog.h"
#include "ui/QtFileDialogBackend.h"
#include "ui/QtPrompter.h"

#include <QtTest>
#include <QtWidgets>
#include <gtest/gtest.h>

namespace qp {
namespace {

// The box belongs to the main window, whichever window is active.
TEST(QtPrompterTest, ShowsARealMessageBoxOverItsOwnerAndReturnsTheAnswer) {
    QWidget owner;
    QtPrompter prompter;
    prompter.setOwner(&owner);
    QStringList seen;
    for (const QMessageBox::StandardButton button : {QMessageBox::No, QMessageBox::Yes}) {
        QTimer::singleShot(0, [&] { // runs inside the box's modal loop
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen << box->windowTitle() << box->text() << QString::number(box->icon());
            EXPECT_EQ(box->parentWidget(), &owner);
            box->button(button)->click();
        });
        const PromptAnswer answer =
            prompter.ask("One\r\nTwo", seen.isEmpty() ? "Clear List..." : "", PromptButtons::YesNo,
                         PromptIcon::Exclamation);
        EXPECT_EQ(answer, button == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No);
    }
    EXPECT_EQ(seen, (QStringList{"Clear List...", "One\nTwo", "2", "Quirepress", "One\nTwo", "2"}));
}

TEST(QtFileDialogBackendTest, ARealDialogListsWhatItsFilterShowsAndReturnsTheChoiceOrNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    QFile(dir.filePath("a.doc")).open(QIODevice::WriteOnly);
    test::writeFile(dir.filePath("pdf server"), {}, true);
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

// The real viewer starts the desktop's program for each kind of help, found through GLib as
// menus find it; here stand-ins that write down what they were given. Without a CHM viewer the
// pages open in the browser, and no message shows. GLib reads the desktop's programs once per
// process, so each desktop is tried in a process of its own.
TEST(DesktopHelpViewerTest, OpensTheCompiledHelpOrElseItsPagesInTheBrowser) {
    if (qEnvironmentVariableIsSet("QP_PROBE")) { // that process: help asked for once
        DesktopHelpViewer viewer;
        test::FakePrompter prompter; // a message would fail the test
        HelpLauncher(viewer, prompter, qEnvironmentVariable("QP_RUNTIME_DIR")).showContents(0);
        return;
    }
    QTemporaryDir root;
    const QString record = root.filePath("opened.txt");
    const auto write = [&](const QString& name, const QString& text) {
        test::writeFile(root.filePath(name), text.toUtf8(), true);
    };
    write("stand-in", "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + record + "'\n");
    const auto program = [&](const QString& desktop, const QString& name, const QString& type) {
        write(desktop + "/applications/" + name + ".desktop",
              "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" +
                  root.filePath("stand-in") + " " + name + " %f\nMimeType=" + type + ";\n");
        // What installing a program leaves behind (update-desktop-database), and GLib reads.
        QFile cache(root.filePath(desktop + "/applications/mimeinfo.cache"));
        ASSERT_TRUE(cache.open(QIODevice::Append));
        cache.write((cache.size() ? "" : "[MIME Cache]\n") + type.toUtf8() + '=' + name.toUtf8() +
                    ".desktop;\n");
    };
    program("viewer", "viewer", "application/vnd.ms-htmlhelp");
    program("viewer", "browser", "text/html");
    program("browser", "browser", "text/html");
    QDir(root.path()).mkpath("system");
    ASSERT_TRUE(QFile::link("/usr/share/mime", root.filePath("system/mime")));
    for (const char* desktop : {"viewer", "browser"}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QP_PROBE", record);
        environment.insert("XDG_DATA_HOME", root.filePath(desktop));
        environment.insert("XDG_DATA_DIRS", root.filePath("system"));
        for (const char* noDefaults : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
            environment.insert(noDefaults, root.filePath("none"));
        process.setProcessEnvironment(environment);
        process.start(QCoreApplication::applicationFilePath(),
                      {"--gtest_filter=DesktopHelpViewerTest.*"});
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardOutput().toStdString();
    }
    const QString built = qEnvironmentVariable("QP_RUNTIME_DIR");
    QStringList opened; // the stand-ins run on their own; give them a moment to write
    (void)QTest::qWaitFor(
        [&] {
            QFile file(record);
            if (file.open(QIODevice::ReadOnly))
                opened = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
            return opened.size() >= 2;
        },
        10000);
    opened.sort();
    EXPECT_EQ(opened, (QStringList{"browser " + HelpLauncher::helpPagesPath(built),
                                   "viewer " + HelpLauncher::helpFilePath(built)}));
}

double luminance(QRgb pixel) { // relative luminance, as contrast ratios use it
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) +
           0.0722 * linear(qBlue(pixel));
}

// About stays readable whatever the desktop's theme: in each text, the strongest contrast
// between a pixel and the colour seen most there (the background) is at least 4.5:1.
TEST(AboutDialogTest, EveryTextStandsOutFromItsBackgroundOnALightAndADarkTheme) {
    const QPalette light = QApplication::palette(), dark(QColor(49, 54, 59)); // light text
    for (const bool onDark : {false, true}) {
        QApplication::setPalette(onDark ? dark : light);
        AboutDialog about;
        const QImage shot = about.grab().toImage();
        for (const char* name : {"titleLabel", "versionLabel", "addressLabel", "descriptionLabel",
                                 "disclaimerLabel", "okButton"}) {
            const QRect area = about.findChild<QWidget*>(name)->geometry();
            QHash<QRgb, int> seen;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    ++seen[shot.pixel(x, y)];
            const QRgb background =
                std::max_element(seen.keyValueBegin(), seen.keyValueEnd(), [](auto a, auto b) {
                    return a.second < b.second;
                })->first;
            double best = 1;
            for (auto it = seen.keyBegin(); it != seen.keyEnd(); ++it) {
                const double l1 = luminance(*it), l2 = luminance(background);
                best = std::max(best, (std::max(l1, l2) + 0.05) / (std::min(l1, l2) + 0.05));
            }
            EXPECT_GE(best, 4.5) << name << (onDark ? " on dark" : " on light");
        }
    }
    QApplication::setPalette(light);
}

} // namespace
} // namespace qp
