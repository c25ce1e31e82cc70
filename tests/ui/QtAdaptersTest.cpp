#include "core/AppError.h"
#include "ui/QtFileDialogBackend.h"
#include "ui/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace qp;

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
    FileDialog dlgWrd(backend);
    dlgWrd.Filter = "Quirepress Files (*.qpb)|*.qpb";
    dlgWrd.DialogTitle = "Open Quirepress";
    dlgWrd.InitDir = dir.path();

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
    dlgWrd.ShowOpen();
    EXPECT_EQ(dlgWrd.FileName, dir.filePath("week one.qpb"));
    EXPECT_EQ(seenTitle, "Open Quirepress");
    EXPECT_EQ(seenDir, dir.path());
    EXPECT_EQ(seenFilters, QStringList{"Quirepress Files (*.qpb)"});

    // A cancel: nothing comes back, and with CancelError set it is error 32755.
    whenModalOpens([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    dlgWrd.ShowSave();
    EXPECT_EQ(dlgWrd.FileName, dir.filePath("week one.qpb"));
    dlgWrd.CancelError = true;
    whenModalOpens([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    try {
        dlgWrd.ShowOpen();
        FAIL() << "a cancel with CancelError set returned normally";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), 32755);
    }
}

TEST(QtFileDialogBackendTest, FiltersMapToQtNameFiltersAndProgramsAreExecutables) {
    EXPECT_EQ(QtFileDialogBackend::nameFilters("Word Files (*.doc)|*.doc|Excel Files (*.xls)|"
                                               "*.xls|Any|*.a;*.b"),
              (QStringList{"Word Files (*.doc)", "Excel Files (*.xls)", "Any (*.a *.b)"}));

    QTemporaryDir dir;
    for (const char* name : {"server", "readme.txt"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
    }
    QFile::setPermissions(dir.filePath("server"), QFile::ReadOwner | QFile::ExeOwner);
    QtFileDialogBackend backend;
    QDir::Filters filters;
    QStringList nameFilters;
    whenModalOpens([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        filters = dialog->filter();
        nameFilters = dialog->nameFilters();
        dialog->reject();
    });
    backend.choose({FileDialogRequest::Mode::Open, "Find Adobe Acrobat",
                    "Program Files (*.exe)|*.exe", dir.path(), QString()});
    EXPECT_TRUE(filters.testFlag(QDir::Executable));
    EXPECT_EQ(nameFilters, QStringList{"Program Files (*)"});
}

} // namespace
