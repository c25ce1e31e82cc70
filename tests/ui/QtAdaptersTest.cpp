#include "support/QStringPrinting.h"
#include "ui/QtFileDialogBackend.h"
#include "ui/QtPrompter.h"

#include <QtTest>
#include <QtWidgets>
#include <gtest/gtest.h>

namespace qp {
namespace {

TEST(QtPrompterTest, ShowsARealMessageBoxAndReturnsTheAnswer) {
    QtPrompter prompter;
    QStringList seen;
    for (const QMessageBox::StandardButton button : {QMessageBox::No, QMessageBox::Yes}) {
        QTimer::singleShot(0, [&] { // runs inside the box's modal loop
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen << box->windowTitle() << box->text() << QString::number(box->icon());
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
    for (const char* name : {"a.doc", "notes.txt", "pdf server"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        if (QString(name).startsWith("pdf"))
            file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    QtFileDialogBackend backend;
    QStringList listed;
    const auto choose = [&](const QString& filter, const QString& name) {
        QMetaObject::invokeMethod( // runs in the dialog's loop before its folder is read
            qApp,
            [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                auto* model = dialog->findChild<QFileSystemModel*>();
                QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
                const auto done = [&] {
                    return std::any_of(loaded.cbegin(), loaded.cend(),
                                       [&](const auto& args) { return args.at(0) == dir.path(); });
                };
                while (!done())
                    ASSERT_TRUE(loaded.wait(10000)) << "the folder never finished loading";
                auto* view = dialog->findChild<QListView*>("listView");
                QStringList names;
                for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                    names << view->model()->index(row, 0, view->rootIndex()).data().toString();
                names.sort();
                names.prepend(dialog->windowTitle() + ": " + dialog->selectedNameFilter());
                listed << names.join(", ");
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
                QMetaObject::invokeMethod(dialog, name.isEmpty() ? "reject" : "accept");
            },
            Qt::QueuedConnection);
        return backend.choose({FileDialogRequest::Mode::Open, "Find", filter, dir.path(), {}});
    };
    EXPECT_EQ(choose("Program Files (*.exe)|*.exe", "pdf server"), dir.filePath("pdf server"));
    EXPECT_EQ(choose("Word Files (*.doc)|*.doc|Any|*.a;*.b", ""), std::nullopt);
    EXPECT_EQ(listed, (QStringList{"Find: Program Files (*), pdf server, sub",
                                   "Find: Word Files (*.doc), a.doc, sub"}));
    EXPECT_EQ(QtFileDialogBackend::nameFilters("Word Files (*.doc)|*.doc|Any|*.a;*.b"),
              (QStringList{"Word Files (*.doc)", "Any (*.a *.b)"}));
}

} // namespace
} // namespace qp
