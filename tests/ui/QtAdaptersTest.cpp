#include "core/AppError.h"
#include "support/WindowFixture.h"
#include "ui/QtFileDialogBackend.h"
#include "ui/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

using namespace qp;
using namespace qp::test;

namespace {

// Acts on the modal window once it is up, from inside its event loop.
void whenModalOpens(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

TEST(QtPrompterTest, ShowsARealMessageBoxAndReturnsTheAnswer) {
    QtPrompter prompter;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenModalOpens([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(prompter.ask("Line one\r\nLine two", "Clear List...", PromptButtons::YesNo,
                           PromptIcon::Exclamation),
              PromptAnswer::No);
    EXPECT_EQ(title, "Clear List...");
    EXPECT_EQ(text, "Line one\nLine two");
    EXPECT_EQ(icon, QMessageBox::Warning);

    whenModalOpens([&](QWidget* w) {
        title = w->windowTitle();
        qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(prompter.ask("Sure?", QString(), PromptButtons::YesNo, PromptIcon::Critical),
              PromptAnswer::Yes);
    EXPECT_EQ(title, "Quirepress") << "a box without a title of its own";
}

TEST(QtFileDialogBackendTest, ARealDialogReturnsTheChosenPathOrNothing) {
    QTemporaryDir dir;
    QFile file(dir.filePath("week one.qpb"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QtFileDialogBackend backend;
    SharedFileDialog shared(backend);
    shared.setFilter("Quirepress Files (*.qpb)|*.qpb");
    shared.setTitle("Open Quirepress");
    shared.setInitialDir(dir.path());

    QString seenTitle, seenDir;
    QStringList seenFilters;
    whenModalOpens([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        seenTitle = dialog->windowTitle();
        seenDir = dialog->directory().absolutePath();
        seenFilters = dialog->nameFilters();
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText("week one.qpb");
        QMetaObject::invokeMethod(dialog, "accept");
    });
    shared.showOpen();
    EXPECT_EQ(shared.fileName(), dir.filePath("week one.qpb"));
    EXPECT_EQ(seenTitle, "Open Quirepress");
    EXPECT_EQ(seenDir, dir.path());
    EXPECT_EQ(seenFilters, QStringList{"Quirepress Files (*.qpb)"});

    // A cancel: nothing comes back, and with CancelError set it is error 32755.
    whenModalOpens([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    shared.showSave();
    EXPECT_EQ(shared.fileName(), dir.filePath("week one.qpb"));
    shared.setThrowsOnCancel(true);
    whenModalOpens([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    try {
        shared.showOpen();
        FAIL() << "a cancel with CancelError set returned normally";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), 32755);
    }
}

TEST(QtFileDialogBackendTest, FiltersMapToQtNameFilters) {
    EXPECT_EQ(QtFileDialogBackend::nameFilters("Word Files (*.doc)|*.doc|Excel Files (*.xls)|"
                                               "*.xls|Any|*.a;*.b"),
              (QStringList{"Word Files (*.doc)", "Excel Files (*.xls)", "Any (*.a *.b)"}));
}

// The names the dialog's list shows once its folder has been read, in order of name.
QString listedOnceLoaded(QFileDialog* dialog) {
    auto* model = dialog->findChild<QFileSystemModel*>();
    auto* view = dialog->findChild<QListView*>("listView");
    if (!model || !view) {
        ADD_FAILURE() << "the dialog has no file list";
        return {};
    }
    const QString folder = dialog->directory().absolutePath();
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    const auto folderLoaded = [&] {
        return std::any_of(loaded.cbegin(), loaded.cend(),
                           [&](const QList<QVariant>& args) { return args.at(0) == folder; });
    };
    while (!folderLoaded()) {
        if (!loaded.wait(10000)) {
            ADD_FAILURE() << "the folder never finished loading: " << folder.toStdString();
            return {};
        }
    }
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    names.sort();
    return names.join(", ");
}

// Each use of the shared dialog, as the window drives it, through the real QFileDialog. They
// run in this order so that the browse inherits the program folder from the Acrobat search.
TEST(QtFileDialogBackendTest, EachUseListsWhatItsFilterShows) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("BatchBin") && QDir(dir.path()).mkpath("helpfiles"));
    for (const char* name :
         {"quirepress", "quirepress-pdf-server", "a.doc", "b.xls", "c.ppt", "d.pdf", "notes.txt",
          "BatchBin/old.qpb", "BatchBin/week.qpb", "BatchBin/notes.txt"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (QString(name).startsWith("quirepress"))
            f.setPermissions(f.permissions() | QFile::ExeOwner);
    }
    QtFileDialogBackend backend;
    WindowFixture f;
    f.executableDir = dir.path();
    f.batchFolder = dir.filePath("BatchBin");
    f.dialogBackend = &backend;
    MainWindow& w = f.window();
    const char* batches = "old.qpb, week.qpb";
    const struct {
        std::string title;
        std::function<void()> open;
        std::string filter;
        std::string listed;
    } uses[] = {
        {"Find Adobe Acrobat", [&] { w.locatePdfServer(); }, "Program Files (*)",
         "BatchBin, helpfiles, quirepress, quirepress-pdf-server"},
        {"Open Office File", [&] { w.browseForFile(); }, "Word Files (*.doc)",
         "BatchBin, a.doc, helpfiles"},
        {"Save Quirepress", [&] { w.saveBatchFile(); }, "Quirepress Files (*.qpb)", batches},
        {"Open Quirepress", [&] { w.openBatchFile(); }, "Quirepress Files (*.qpb)", batches},
    };
    for (const auto& use : uses) {
        QString title, filter, listed;
        // Posted before the dialog starts to read its folder, so this runs inside the dialog's
        // event loop before the model can report the folder loaded.
        QMetaObject::invokeMethod(
            qApp,
            [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (!dialog) {
                    ADD_FAILURE() << "no file dialog is open";
                    return;
                }
                title = dialog->windowTitle();
                filter = dialog->selectedNameFilter();
                listed = listedOnceLoaded(dialog);
                dialog->reject();
            },
            Qt::QueuedConnection);
        use.open();
        // As std::string: another test file prints QString without the readable printer.
        EXPECT_EQ(title.toStdString(), use.title);
        EXPECT_EQ(filter.toStdString(), use.filter) << use.title;
        EXPECT_EQ(listed.toStdString(), use.listed) << use.title;
    }
    EXPECT_TRUE(f.prompter.boxes.empty()) << "a cancel is silent in every use";
}

} // namespace
