// The main window with fakes behind it, then the desktop's real dialogs, help and About.
#include "app/CommandLine.h"
#include "help/HelpLauncher.h"
#include "platform/DesktopHelpViewer.h"
#include "support/EventGapProbe.h"
#include "support/WindowFixture.h"
#include "ui/AboutDialog.h"
#include "ui/QtFileDialogBackend.h"
#include "ui/QtPrompter.h"

#include <QtTest>
#include <QtWidgets>
#include <ctime>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

class WindowTest : public QObject, public ::testing::Test, protected WindowFixture {
protected:
    void SetUp() override {
        settings.set("Quirepress/Settings/Acrobat", "/pdf");
        window.runStartupChecks();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        find("statusLabel")->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && status().startsWith("Preparing")) {
            // What the user sees as each entry starts, assistive tools included.
            const QString shown =
                QString::asprintf("%d %d-%d ", bar()->value(), bar()->minimum(), bar()->maximum()) +
                QAccessible::queryAccessibleInterface(find("statusLabel"))->text(QAccessible::Name);
            const QCursor* pointer = QApplication::overrideCursor();
            if (bar()->isVisible() && find("progressLabel")->isVisible() && pointer &&
                pointer->shape() == Qt::WaitCursor && (seen.isEmpty() || seen.last() != shown))
                seen << shown;
        }
        return false;
    }
    QLineEdit* text() { return find<QLineEdit>("pathEdit"); }
    QListWidget* list() { return find<QListWidget>("batchList"); }
    QProgressBar* bar() { return find<QProgressBar>("progressBar"); }
    QString status() { return find<QLabel>("statusLabel")->text(); }
    void add(const QString& path) {
        text()->setText(path);
        window.addTypedPath();
    }
    void drop(const QStringList& paths) { // as the desktop hands a drop to the list
        QMimeData data;
        for (const QString& path : paths)
            data.setUrls(data.urls() << QUrl::fromLocalFile(path));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(list()->viewport(), &enter); // the target of the drop
        const QStringList before = window.entries() + journal;
        QApplication::sendEvent(list()->viewport(), &dropped);
        EXPECT_EQ(window.entries() + journal, before) << "the drop waited for its handling";
        QCoreApplication::processEvents();
    }
    QString batchFile(const QByteArray& bytes, const QString& name = "week.qpb") {
        return writeFile(dataHome.filePath(name), bytes);
    }
    void open(const std::optional<QString>& path) {
        dialogs.script(path);
        window.openBatchFile();
    }
    void print(const QStringList& paths, PromptAnswer answer) {
        for (const QString& path : paths)
            add(path);
        prompter.script(answer);
        QTest::mouseClick(find("printButton"), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !window.isPrinting(); }, 10000));
        EXPECT_TRUE(prompter.allAnswersUsed() && window.entries().isEmpty() && status() == "Ready");
        EXPECT_FALSE(bar()->isVisible() || find("progressLabel")->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    QStringList seen;
};

TEST_F(WindowTest, KeysMenusAndListEditsDoOnlyWhatTheUserMeant) {
    QTest::keyPress(list(), Qt::Key_F1); // help opens on release, not press
    QTest::keyRelease(list(), Qt::Key_F1);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_F1, {}, QString(), true); // held down
    QApplication::sendEvent(list(), &repeat);
    help.programsFor = {}; // nothing to show: a message says what to install
    prompter.script(PromptAnswer::Ok);
    find<QAction>("contentsAction")->trigger();
    help.fails = true; // help is a convenience: a failing viewer costs the program nothing
    find<QAction>("contentsAction")->trigger();
    const QString owner = " for " + QString::number(window.winId());
    EXPECT_EQ(help.opened, QStringList{"/opt/quirepress/helpfiles/Quirepress.chm" + owner});

    QTest::keyClicks(text(), "/1.doc");
    QTest::keyClick(text(), Qt::Key_Return);
    add("/2.doc");
    add("/3.doc");
    text()->setText("typed");
    list()->setCurrentRow(1);
    QTest::keyRelease(list(), Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyRelease(list(), Qt::Key_Delete); // nothing is selected after a removal
    EXPECT_EQ(window.entries(), (QStringList{"/1.doc", "/3.doc"}));

    for (const PromptAnswer answer : {PromptAnswer::No, PromptAnswer::No, PromptAnswer::Yes})
        prompter.script(answer);
    window.clearList();
    window.exitProgram();
    EXPECT_EQ(window.entries().size(), 2);
    EXPECT_EQ(text()->text() + QString::number(endProgramCalls), "typed0");
    QTest::keyClick(list(), Qt::Key_Escape);
    EXPECT_TRUE(window.entries().isEmpty() && text()->text().isEmpty());
    window.clearList(); // nothing to lose: no questions
    window.exitProgram();
    EXPECT_EQ(endProgramCalls, 1);
    journal.replaceInStrings(QRegularExpression("(?s):.*"), "");
    EXPECT_EQ(journal,
              (QStringList{"box Help...", "box Clear List...", "box ", "box Clear List..."}));

    auto* file = find<QMenu>("fileMenu");
    file->popup(window.mapToGlobal(QPoint(10, 10)));
    window.statusBar()->showMessage("Opens a batch file"); // what hovering an entry does
    file->hide();
    EXPECT_TRUE(find("statusLabel")->isVisible() && status() == "Ready") << "lost to a menu";
}

TEST_F(WindowTest, TypedDroppedAndGivenFilesAreAddedAsTheUserGaveThemUntilTheListIsFull) {
    for (const char* typed : {"", "   ", "/d/a.doc", "/d/a.doc"})
        add(typed);
    EXPECT_TRUE(text()->text().isEmpty());
    for (int refusal = 0; refusal < 7; ++refusal)
        prompter.script(PromptAnswer::Ok);
    drop({"/d/L.doc", "/d/notes.txt", "/d/S.PDF", "/d/thisisadoc", "/d/b.Xls", "/d/c.ppt"});
    drop({}); // text, say, and no files
    window.openFiles(CommandLine::parse({"quirepress", batchFile("\"/d/b.pdf\"\r\n", "M.QPB"),
                                         dataHome.filePath("none.qpb"), "rel.ppt"})
                         .files);
    // A folder stands for its printable files in name order; one without any is refused.
    QTemporaryDir folder;
    for (const char* name : {"10.pdf", "9.doc", "x.txt", "none/1.txt"})
        writeFile(folder.filePath(name), {});
    drop({folder.path(), folder.filePath("none")});
    EXPECT_EQ(window.entries(),
              (QStringList{"   ", "/d/a.doc", "/d/a.doc", "/d/L.doc", "/d/S.PDF", "/d/thisisadoc",
                           "/d/b.Xls", "/d/c.ppt", "/d/b.pdf", QDir().absoluteFilePath("rel.ppt"),
                           folder.filePath("9.doc"), folder.filePath("10.pdf")}));
    ASSERT_EQ(journal.size(), 4);
    EXPECT_EQ(journal[3], "box Improper file format...: File " + folder.filePath("none") +
                              " is not a supported file.");
    EXPECT_EQ(journal[0],
              "box Improper file format...: File /d/notes.txt is not a supported file.");
    EXPECT_TRUE(journal[2].startsWith("box Error...") && journal[2].contains("none.qpb"));

    while (list()->count() < MainWindow::MaxEntries - 1)
        list()->addItem("/d/more.doc");
    add("/d/last.doc");
    add("/d/one-too-many.doc");
    EXPECT_EQ(text()->text(), "/d/one-too-many.doc") << "the typed path is not lost";
    drop({"/d/x.doc", "/d/y.doc"}); // one message, and the drop stops
    open(batchFile("\"/d/p.doc\"\r\n"));
    ASSERT_EQ(journal.size(), 7);
    EXPECT_TRUE(journal[4].startsWith("box Batch list full...") &&
                journal[6].startsWith("box Error"));
    EXPECT_FALSE(window.skipSaveOffer());
    EXPECT_EQ(window.entries().size(), MainWindow::MaxEntries);
}

TEST_F(WindowTest, EveryEditClearsTheMarkThatAnOpenedBatchLeavesAndBrowseCancelsFollowIt) {
    const auto browse = [&](const std::optional<QString>& answer) {
        dialogs.script(answer);
        window.browseForFile();
        return text()->text();
    };
    EXPECT_EQ(browse("/d/browsed.xls"), "/d/browsed.xls");
    EXPECT_EQ(browse(std::nullopt), "") << "before any batch was opened a cancel empties the box";
    const QString batch = batchFile("\"/d/a.doc\"\r\n\"/d/b.xls\"\r\n");
    const std::function<void()> edits[] = {
        [&] { QTest::keyClicks(text(), "x"); },
        [&] { window.addTypedPath(); }, // adding empties the box, a change too
        [&] { drop({"/d/c.ppt"}); }, [&] { QTest::keyRelease(list(), Qt::Key_Delete); }};
    for (const auto& edit : edits) {
        open(batch);
        list()->setCurrentRow(0); // selecting is no edit
        ASSERT_TRUE(window.skipSaveOffer());
        edit();
        EXPECT_FALSE(window.skipSaveOffer());
    }
    // Clearing and a cancelled open change nothing; a batch given on the command line is
    // opened like one chosen.
    window.openFiles({batch});
    prompter.script(PromptAnswer::Yes);
    window.clearList();
    open(std::nullopt);
    EXPECT_TRUE(window.skipSaveOffer());
    // Since a batch was opened a cancel is an error: the box keeps its text, silently.
    text()->setText("kept");
    EXPECT_EQ(browse(std::nullopt), "kept");
}

TEST_F(WindowTest, TheUserSeesEachEntryPreparedAndTheWindowPaintsButTakesNoInputDuringTheRun) {
    print({"/a.doc", "/b.xls"}, PromptAnswer::No);
    print({"/c.ppt"}, PromptAnswer::No); // after a longer run, one entry fills the bar
    EXPECT_EQ(seen, (QStringList{"1 1-2 Preparing /a.doc for printing.",
                                 "2 1-2 Preparing /b.xls for printing.",
                                 "1 0-1 Preparing /c.ppt for printing."}));
    office.fail("print /d.doc", AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
    print({"/d.doc"}, PromptAnswer::Ok); // and the pointer is restored after a failure

    office.pendingLooks = 30; // the Word document prints in the background for a while
    QString typedDuringRun = "?";
    QTimer::singleShot(150, &window, [&] {
        // Events as the platform delivers them, and a shortcut.
        QWidget* print = find("printButton");
        const QPointF at = QRectF(print->rect()).center();
        QCoreApplication::postEvent(text(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Z, {}, "z"));
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                print, new QMouseEvent(type, at, print->mapToGlobal(at), Qt::LeftButton, {}, {}));
        QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
        QTimer::singleShot(50, &window, [&] { typedDuringRun = text()->text(); });
    });
    const EventGapProbe gaps;
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer wall;
    wall.start();
    print({"/long.doc", "/next.ppt"}, PromptAnswer::No);
    const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    EXPECT_GE(wall.elapsed(), 300) << "the office did not wait";
    EXPECT_LT(cpuMs, 0.5 * double(wall.elapsed())) << "cpu " << cpuMs << " ms";
    EXPECT_LT(gaps.longestMilliseconds(), 100);
    EXPECT_EQ(typedDuringRun, "");
    EXPECT_TRUE(dialogs.requests.empty()) << "a shortcut opened a dialog during the run";
    EXPECT_EQ(officeJournal.count("bind /long.doc"), 1) << "a second run printed again";
}

// A question holds the run and a close until it is answered, so that no box opens over
// another; an entry named like markup is shown as named.
TEST_F(WindowTest, AQuestionHoldsTheRunAndACloseUntilItIsAnswered) {
    const QString marked = "/<b>bold</b> &amp; co.doc";
    office.fail("bind " + marked, AppError(ErrorNumber::CannotBind, "unreadable"));
    add(marked);
    add("/b.doc");
    auto* label = find<QLabel>("statusLabel");
    QString shown;
    int shownWidth = 0;
    prompter.whileOpen = [&] {
        if (prompter.boxes.size() == 1)
            QTest::qWait(300); // the entry fails meanwhile
        if (prompter.boxes.size() == 2) {
            shown = label->text();
            shownWidth = label->sizeHint().width() - label->fontMetrics().horizontalAdvance(shown);
            window.close();
        }
    };
    for (const PromptAnswer answer : {PromptAnswer::No, PromptAnswer::Yes, PromptAnswer::Yes})
        prompter.script(answer); // go on printing, go on after the entry, stop
    QTest::mouseClick(find("printButton"), Qt::LeftButton);
    window.close();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window.isPrinting(); }, 10000));
    journal.replaceInStrings(QRegularExpression("(?s):.*"), "");
    EXPECT_EQ(journal, (QStringList{"box Stop printing...", "box File does not exist...",
                                    "box Stop printing..."}));
    EXPECT_EQ(shown, marked + " is not a valid file. ");
    EXPECT_GE(shownWidth, 0) << "the status line read the name as markup";
    EXPECT_FALSE(officeJournal.contains("bind /b.doc"));
    EXPECT_EQ(endProgramCalls, 1);
}

const QString Server = QStringLiteral("/opt/quirepress/quirepress-pdf-server");
const QString FirstRun = "box Find Acrobat...";
const QString Chosen = "Acrobat=" + Server + " | AcroCancelled=0";

TEST(Startup, AsksForThePdfProgramUntilOneIsChosenOrTheSearchIsDeclinedAndLocateAcrobatAsks) {
    // Only a number equal to one means declined; after a server that did not answer the flag
    // is 0 and the path empty.
    const std::tuple<QString, QString, std::optional<QString>, QString, bool,
                     bool FakeSettingsStore::*>
        rows[] = {
            {"", "", Server, FirstRun + " | " + Chosen, false, nullptr},
            {"", "", std::nullopt, FirstRun + " | box MS Office Only... | AcroCancelled=1", true,
             nullptr},
            {" 1.0", "", {}, "", true, nullptr},
            {"yes", "", Server, FirstRun + " | " + Chosen, false, nullptr},
            {"0", "/pdf", {}, "", false, nullptr},
            {"", "", {}, "box Error...", false, &FakeSettingsStore::failReads},
            {"", "", Server, FirstRun + " | box Error...", false, &FakeSettingsStore::failWrites}};
    for (const auto& [declined, path, chosen, expected, locate, failing] : rows) {
        SCOPED_TRACE(expected.toStdString());
        WindowFixture s;
        s.settings.set("Quirepress/Settings/AcroCancelled", declined);
        s.settings.set("Quirepress/Settings/Acrobat", path);
        if (failing)
            s.settings.*failing = true;
        if (expected.startsWith(FirstRun))
            s.dialogs.script(chosen);
        for (qsizetype box = expected.count("box "); box > 0; --box)
            s.prompter.script(PromptAnswer::Ok);
        s.window.runStartupChecks();
        s.journal.replaceInStrings(QRegularExpression("(?s)^(box [^:]*):.*"), "\\1");
        EXPECT_EQ(s.journal.join(" | "), expected);
        EXPECT_EQ(s.find<QAction>("locatePdfServerAction")->isVisible(), locate);
        // A failure skips the rest, the ready state too.
        EXPECT_EQ(s.find<QLabel>("statusLabel")->text(), failing ? "" : "Ready");
        if (!locate)
            continue;
        // Locate Acrobat stores a choice silently, ignores a cancel and stays till the end.
        s.journal.clear();
        s.dialogs.script(std::nullopt);
        s.window.locatePdfServer();
        s.dialogs.script(Server);
        s.window.locatePdfServer();
        EXPECT_EQ(s.journal.join(" | "), Chosen);
        EXPECT_TRUE(s.find<QAction>("locatePdfServerAction")->isVisible());
    }
}

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
} // namespace qp::test
