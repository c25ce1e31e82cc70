#include "support/QStringPrinting.h"
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

} // namespace
} // namespace qp
