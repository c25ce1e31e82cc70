#include "PrintingFakes.h"
#include "help/HelpViewer.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

const QString AcrobatKey = QStringLiteral("Quirepress/Settings/Acrobat");

class NoHelpExpected : public HelpViewer {
public:
    void showContents(const QString& path, quintptr) override {
        ADD_FAILURE() << "help opened: " << path.toStdString();
    }
};

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The real main window on the offscreen platform, printing through the fakes; the user's
// side is driven through its widgets, found by name.
class BatchRunWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.set(AcrobatKey, QStringLiteral("/opt/pdf/bin/acroread"));
        window.runStartupChecks();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        status()->installEventFilter(&statusPaints);
    }
    void TearDown() override {
        EXPECT_TRUE(prompter.allAnswersUsed());
        EXPECT_EQ(office.liveDocuments, 0);
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    template <typename T> T* find(const char* name) {
        T* widget = window.findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLabel* status() { return find<QLabel>("statusLabel"); }
    QLineEdit* pathBox() { return find<QLineEdit>("pathEdit"); }
    QProgressBar* progress() { return find<QProgressBar>("progressBar"); }

    void add(const QStringList& paths) {
        for (const QString& path : paths) {
            pathBox()->setText(path);
            QTest::mouseClick(find<QPushButton>("addButton"), Qt::LeftButton);
        }
    }
    void clickPrintBatch(const std::vector<PromptAnswer>& answers) {
        for (const PromptAnswer answer : answers)
            prompter.script(answer);
        QTest::mouseClick(find<QPushButton>("printButton"), Qt::LeftButton);
    }
    void openBatch(const QStringList& entries) {
        const QString path = folder.filePath(QStringLiteral("saved.qpb"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QString& entry : entries)
            file.write("\"" + entry.toLocal8Bit() + "\"\r\n");
        file.close();
        dialogs.script(path);
        window.openBatchFile();
        ASSERT_EQ(find<QListWidget>("batchList")->count(), entries.size());
    }

    void expectReady() {
        EXPECT_EQ(find<QListWidget>("batchList")->count(), 0);
        EXPECT_TRUE(pathBox()->text().isEmpty());
        EXPECT_EQ(status()->text(), "Ready");
        EXPECT_FALSE(progress()->isVisible());
        EXPECT_FALSE(find<QLabel>("progressLabel")->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    Journal journal;
    JournalPrompter prompter{journal};
    FakeFileDialogBackend dialogs;
    FakeSettingsStore settings;
    FakeOffice office{journal};
    FakeProgramStarter starter{journal};
    FakePdfPrintServer conversation{journal};
    NoHelpExpected help;
    QTemporaryDir folder;
    PaintCounter statusPaints;
    MainWindow window{MainWindowServices{prompter, dialogs, settings, office, starter, conversation,
                                         help, QStringLiteral("/opt/quirepress"),
                                         [] { ADD_FAILURE() << "program ended"; },
                                         folder.filePath("BatchBin")}};
};

TEST_F(BatchRunWindowTest, TheUserSeesEachEntryBeingPreparedAndThenTheReadyWindow) {
    add({"/d/a.doc", "/d/b.xls", "/d/c.ppt"});
    int paintsBefore = 0;
    int seen = 0;
    office.onOpen = [&](const QString& path) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(status()->text(), "Preparing " + path + " for printing.");
        EXPECT_GT(statusPaints.paints, paintsBefore) << "the new status was not painted";
        paintsBefore = statusPaints.paints;
        EXPECT_TRUE(find<QLabel>("progressLabel")->isVisible());
        EXPECT_TRUE(progress()->isVisible());
        EXPECT_EQ(progress()->minimum(), 1);
        EXPECT_EQ(progress()->maximum(), 3);
        EXPECT_EQ(progress()->value(), ++seen);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    };
    clickPrintBatch({PromptAnswer::No});
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(prompter.titles(), QStringList{"Save batch..."});
    expectReady();
}

TEST_F(BatchRunWindowTest, TheWordWaitTakesInputButNotASecondRunAndDoesNotBurnAProcessor) {
    std::deque<bool> busy(40, true);
    busy.push_back(false);
    office.documents[QStringLiteral("/d/long.doc")].backgroundPending = busy;
    add({"/d/long.doc", "/d/next.ppt"});
    QString typedDuringWait;
    int looks = 0;
    office.onPending = [&](const QString&) {
        if (++looks == 1) {
            // Events as the platform would deliver them: handled only if the wait yields.
            QCoreApplication::postEvent(
                pathBox(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, "z"));
            QPushButton* print = find<QPushButton>("printButton");
            const QPointF centre = QRectF(print->rect()).center();
            const QPointF global = print->mapToGlobal(centre);
            QCoreApplication::postEvent(print, new QMouseEvent(QEvent::MouseButtonPress, centre,
                                                               global, Qt::LeftButton,
                                                               Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(print, new QMouseEvent(QEvent::MouseButtonRelease, centre,
                                                               global, Qt::LeftButton, Qt::NoButton,
                                                               Qt::NoModifier));
        }
        if (looks == 4)
            typedDuringWait = pathBox()->text();
    };
    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpuStart = std::clock();
    clickPrintBatch({PromptAnswer::No});
    const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wallMs = double(wall.elapsed());

    EXPECT_GE(wallMs, 200) << "the wait did not wait for events at all";
    EXPECT_LT(cpuMs, 0.5 * wallMs) << "cpu " << cpuMs << " ms in " << wallMs << " ms";
    EXPECT_EQ(typedDuringWait, "z");
    EXPECT_EQ(journal.starting("bind "), (QStringList{"bind /d/long.doc", "bind /d/next.ppt"}));
    EXPECT_EQ(journal.starting("close /d/long.doc").size(), 1);
    EXPECT_EQ(prompter.titles(), QStringList{"Save batch..."}) << "a second run asks again";
    expectReady();

    // The button works again once the run is over.
    office.onPending = nullptr;
    add({"/d/again.ppt"});
    clickPrintBatch({PromptAnswer::No});
    EXPECT_EQ(journal.starting("bind ").last(), "bind /d/again.ppt");
}

TEST_F(BatchRunWindowTest, AOneEntryRunAfterALongerRunShowsAFullBar) {
    add({"/d/1.ppt", "/d/2.ppt"});
    clickPrintBatch({PromptAnswer::No});
    add({"/d/alone.ppt"});
    bool seen = false;
    office.onOpen = [&](const QString&) {
        EXPECT_LT(progress()->minimum(), progress()->maximum());
        EXPECT_EQ(progress()->maximum(), 1);
        EXPECT_EQ(progress()->value(), 1);
        seen = true;
    };
    clickPrintBatch({PromptAnswer::No});
    EXPECT_TRUE(seen);
    expectReady();
}

TEST_F(BatchRunWindowTest, AnOpenedBatchIsNotOfferedForSavingUntilItChanges) {
    openBatch({"/d/a.ppt", "/d/b.ppt"});
    clickPrintBatch({});
    EXPECT_EQ(journal.starting("bind ").size(), 2);
    EXPECT_TRUE(prompter.boxes.empty());
    expectReady();

    openBatch({"/d/a.ppt"});
    add({"/d/one more.ppt"});
    clickPrintBatch({PromptAnswer::No});
    EXPECT_EQ(prompter.titles(), QStringList{"Save batch..."});

    // A pending path changes the batch whether it is added or not.
    for (const PromptAnswer addIt : {PromptAnswer::Yes, PromptAnswer::No}) {
        prompter.boxes.clear();
        openBatch({"/d/a.ppt"});
        pathBox()->setText(QStringLiteral("/d/typed.ppt"));
        clickPrintBatch({addIt, PromptAnswer::No});
        EXPECT_EQ(prompter.titles(), (QStringList{"Add File...", "Save batch..."}));
        expectReady();
    }
    EXPECT_TRUE(journal.starting("bind /d/typed.ppt").isEmpty()) << "an added path was printed";
}

TEST_F(BatchRunWindowTest, NoDefaultPrinterEndsTheRunAndRestoresThePointer) {
    office.fail(QStringLiteral("print /d/a.doc"),
                AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
    add({"/d/a.doc", "/d/b.ppt"});
    clickPrintBatch({PromptAnswer::Ok});
    EXPECT_EQ(prompter.titles(), QStringList{"No default printer..."});
    EXPECT_TRUE(journal.lines.contains("close /d/a.doc"));
    EXPECT_TRUE(journal.starting("bind /d/b.ppt").isEmpty());
    expectReady();
}

TEST_F(BatchRunWindowTest, APdfProgramThatDoesNotAnswerShowsLocateAcrobat) {
    conversation.unansweredConnects = -1;
    EXPECT_FALSE(find<QAction>("locatePdfServerAction")->isVisible());
    add({"/d/1.pdf"});
    QElapsedTimer timer;
    timer.start();
    clickPrintBatch({PromptAnswer::Ok});
    EXPECT_GE(timer.elapsed(), 29000) << "the program was not given time to answer";
    EXPECT_EQ(prompter.titles(), QStringList{"Problem with acrobat..."});
    EXPECT_TRUE(find<QAction>("locatePdfServerAction")->isVisible());
    EXPECT_TRUE(find<QAction>("locateSeparator")->isVisible());
    EXPECT_EQ(settings.get(AcrobatKey), QString());
    expectReady();
}

} // namespace
} // namespace qp::test
