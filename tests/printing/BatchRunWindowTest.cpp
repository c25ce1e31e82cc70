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

const QString Acrobat = QStringLiteral("/opt/pdf/bin/acroread");

class NoHelpExpected : public HelpViewer {
public:
    void showContents(const QString& path, quintptr) override {
        ADD_FAILURE() << "help opened: " << path.toStdString();
    }
};

// What the user could see of the window at one moment of the run.
struct Sight {
    QString status;
    bool progressShown = false;
    bool labelShown = false;
    int value = 0;
    int minimum = 0;
    int maximum = 0;
    bool hourglass = false;
    int statusPaints = 0;
};

// Counts how often a widget was painted.
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
    void SetUp() override { settings.set(QStringLiteral("Quirepress/Settings/Acrobat"), Acrobat); }
    void TearDown() override {
        EXPECT_TRUE(prompter.allAnswersUsed());
        EXPECT_EQ(automation.liveObjects, 0);
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    }

    frmWrdPrint& window() {
        if (!m_window) {
            m_window = std::make_unique<frmWrdPrint>(MainWindowServices{
                prompter, dialogs, settings, automation, starter, conversation, help,
                QStringLiteral("/opt/quirepress"), [] { ADD_FAILURE() << "program ended"; }});
            m_window->Form_Load();
            m_window->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
            status()->installEventFilter(&statusPaints);
        }
        return *m_window;
    }
    template <typename T> T* find(const char* name) {
        T* widget = window().findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLabel* status() { return m_window->findChild<QLabel*>(QStringLiteral("sbPrintStat")); }
    QLineEdit* pathBox() { return find<QLineEdit>("txtfiletoadd"); }
    QListWidget* list() { return find<QListWidget>("lstFiles"); }
    QProgressBar* progress() { return find<QProgressBar>("Progress"); }

    void add(const QString& path) {
        pathBox()->setText(path);
        QTest::mouseClick(find<QPushButton>("cmdAdd"), Qt::LeftButton);
    }
    void addAll(const QStringList& paths) {
        for (const QString& path : paths)
            add(path);
    }
    void clickPrintBatch() { QTest::mouseClick(find<QPushButton>("cmdExecute"), Qt::LeftButton); }

    Sight look() {
        Sight sight;
        sight.status = status()->text();
        sight.progressShown = progress()->isVisible();
        sight.labelShown = find<QLabel>("progresslabel")->isVisible();
        sight.value = progress()->value();
        sight.minimum = progress()->minimum();
        sight.maximum = progress()->maximum();
        sight.hourglass = QApplication::overrideCursor() &&
                          QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        sight.statusPaints = statusPaints.paints;
        return sight;
    }
    // Looks at the window whenever a document is bound.
    void lookAtEveryBind() {
        automation.onBind = [this](const QString&) { sights.append(look()); };
    }
    void expectReady() {
        EXPECT_EQ(list()->count(), 0);
        EXPECT_TRUE(pathBox()->text().isEmpty());
        EXPECT_EQ(status()->text(), "Ready");
        EXPECT_FALSE(progress()->isVisible());
        EXPECT_FALSE(find<QLabel>("progresslabel")->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    QString writeBatchFile(const QStringList& entries) {
        EXPECT_TRUE(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("saved.qpb"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QString& entry : entries)
            file.write("\"" + entry.toLocal8Bit() + "\"\r\n");
        return path;
    }
    void openBatch(const QStringList& entries) {
        dialogs.script(writeBatchFile(entries));
        window().mnuOpenBatch_Click();
        ASSERT_EQ(list()->count(), entries.size());
    }

    Journal journal;
    JournalPrompter prompter{journal};
    FakeFileDialogBackend dialogs;
    FakeSettingsStore settings;
    FakeAutomation automation{journal};
    FakeProgramStarter starter{journal};
    FakeConversation conversation{journal};
    NoHelpExpected help;
    QTemporaryDir folder;
    PaintCounter statusPaints;
    QList<Sight> sights;

private:
    std::unique_ptr<frmWrdPrint> m_window;
};

TEST_F(BatchRunWindowTest, TheUserSeesEachEntryBeingPreparedAndThenTheReadyWindow) {
    window();
    addAll({"/d/a.doc", "/d/b.xls", "/d/c.ppt"});
    lookAtEveryBind();
    prompter.script(PromptAnswer::No);
    clickPrintBatch();

    ASSERT_EQ(sights.size(), 3);
    const QStringList paths{"/d/a.doc", "/d/b.xls", "/d/c.ppt"};
    int paintsBefore = 0;
    for (int i = 0; i < 3; ++i) {
        const Sight& sight = sights[i];
        EXPECT_EQ(sight.status, "Preparing " + paths[i] + " for printing.");
        EXPECT_TRUE(sight.progressShown);
        EXPECT_TRUE(sight.labelShown);
        EXPECT_EQ(sight.value, i + 1);
        EXPECT_EQ(sight.minimum, 1);
        EXPECT_EQ(sight.maximum, 3);
        EXPECT_TRUE(sight.hourglass);
        EXPECT_GT(sight.statusPaints, paintsBefore) << "the new status was not painted";
        paintsBefore = sight.statusPaints;
    }
    EXPECT_EQ(prompter.boxes.back().title, "Save batch...");
    expectReady();
}

TEST_F(BatchRunWindowTest, DuringTheWordWaitTheWindowTakesInputButNotASecondRun) {
    automation.documents[QStringLiteral("/d/long.doc")].backgroundStatus = {1, 1, 1, 1, 0};
    window();
    addAll({"/d/long.doc", "/d/next.ppt"});
    QString typedDuringWait;
    int looks = 0;
    automation.onValue = [&](const QString&, const QString& member) {
        if (member != QLatin1String("BackgroundPrintingStatus"))
            return;
        ++looks;
        if (looks == 1) {
            // Events as the platform would deliver them: handled only if the wait yields.
            QLineEdit* box = pathBox();
            QCoreApplication::postEvent(box, new QKeyEvent(QEvent::KeyPress, Qt::Key_Z,
                                                           Qt::NoModifier, QStringLiteral("z")));
            QPushButton* print = find<QPushButton>("cmdExecute");
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
    prompter.script(PromptAnswer::No);
    clickPrintBatch();

    EXPECT_EQ(typedDuringWait, "z");
    EXPECT_EQ(journal.starting("bind "), (QStringList{"bind /d/long.doc", "bind /d/next.ppt"}));
    EXPECT_EQ(journal.starting("call /d/long.doc.Close()").size(), 1);
    EXPECT_EQ(prompter.boxes.size(), 1u) << "a second run would have asked again";
    expectReady();
}

TEST_F(BatchRunWindowTest, TheWordWaitDoesNotBurnAProcessor) {
    std::deque<QVariant> busy(40, 1);
    busy.push_back(0);
    automation.documents[QStringLiteral("/d/long.doc")].backgroundStatus = busy;
    window();
    add(QStringLiteral("/d/long.doc"));
    prompter.script(PromptAnswer::No);

    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpuStart = std::clock();
    clickPrintBatch();
    const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wallMs = double(wall.elapsed());

    EXPECT_GE(wallMs, 200) << "the wait did not wait for events at all";
    EXPECT_LT(cpuMs, 0.5 * wallMs) << "cpu " << cpuMs << " ms in " << wallMs << " ms";
}

TEST_F(BatchRunWindowTest, AOneEntryRunAfterALongerRunShowsAFullBar) {
    window();
    addAll({"/d/1.ppt", "/d/2.ppt"});
    prompter.script(PromptAnswer::No);
    clickPrintBatch();

    lookAtEveryBind();
    add(QStringLiteral("/d/alone.ppt"));
    prompter.script(PromptAnswer::No);
    clickPrintBatch();
    ASSERT_EQ(sights.size(), 1);
    EXPECT_LT(sights[0].minimum, sights[0].maximum);
    EXPECT_EQ(sights[0].maximum, 1);
    EXPECT_EQ(sights[0].value, sights[0].maximum);
    expectReady();
}

TEST_F(BatchRunWindowTest, AnOpenedBatchIsNotOfferedForSavingUntilItChanges) {
    window();
    openBatch({"/d/a.ppt", "/d/b.ppt"});
    clickPrintBatch();
    EXPECT_TRUE(prompter.boxes.empty());
    EXPECT_EQ(journal.starting("bind ").size(), 2);
    expectReady();

    openBatch({"/d/a.ppt"});
    add(QStringLiteral("/d/one more.ppt"));
    prompter.script(PromptAnswer::No);
    clickPrintBatch();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].title, "Save batch...");
}

TEST_F(BatchRunWindowTest, AnOpenedBatchWithAPendingPathIsOfferedWhateverTheAnswer) {
    window();
    for (const PromptAnswer addIt : {PromptAnswer::Yes, PromptAnswer::No}) {
        prompter.boxes.clear();
        openBatch({"/d/a.ppt"});
        pathBox()->setText(QStringLiteral("/d/typed.ppt"));
        prompter.script(addIt);
        prompter.script(PromptAnswer::No);
        clickPrintBatch();
        ASSERT_EQ(prompter.boxes.size(), 2u);
        EXPECT_EQ(prompter.boxes[0].title, "Add File...");
        EXPECT_EQ(prompter.boxes[1].title, "Save batch...");
        expectReady();
    }
    EXPECT_TRUE(journal.starting("bind /d/typed.ppt").isEmpty()) << "an added path was printed";
}

TEST_F(BatchRunWindowTest, PdfsWithoutAProgramAreReportedAndTheListStillEmpties) {
    settings.set(QStringLiteral("Quirepress/Settings/Acrobat"), QString());
    settings.set(QStringLiteral("Quirepress/Settings/AcroCancelled"), QStringLiteral("1"));
    window();
    addAll({"/d/1.pdf", "/d/2.pdf", "/d/3.pdf"});
    for (int i = 0; i < 3; ++i)
        prompter.script(PromptAnswer::Ok);
    clickPrintBatch();
    ASSERT_EQ(prompter.boxes.size(), 3u);
    for (const auto& box : prompter.boxes)
        EXPECT_EQ(box.title, "Cannot print...");
    EXPECT_EQ(starter.starts, 0);
    expectReady();
}

TEST_F(BatchRunWindowTest, NoDefaultPrinterEndsTheRunAndRestoresThePointer) {
    automation.failures.emplace(QStringLiteral("/d/a.doc.PrintOut"),
                                AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
    window();
    addAll({"/d/a.doc", "/d/b.ppt"});
    prompter.script(PromptAnswer::Ok);
    clickPrintBatch();
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].title, "No default printer...");
    EXPECT_TRUE(journal.lines.contains("call /d/a.doc.Close()"));
    EXPECT_TRUE(journal.starting("bind /d/b.ppt").isEmpty());
    expectReady();
}

TEST_F(BatchRunWindowTest, APdfProgramThatDoesNotAnswerShowsLocateAcrobat) {
    conversation.unansweredOpens = -1;
    window();
    EXPECT_FALSE(find<QAction>("mnuLocateAcro")->isVisible());
    add(QStringLiteral("/d/1.pdf"));
    prompter.script(PromptAnswer::Ok);
    QElapsedTimer timer;
    timer.start();
    clickPrintBatch();
    EXPECT_GE(timer.elapsed(), 29000) << "the program was not given time to answer";
    ASSERT_EQ(prompter.boxes.size(), 1u);
    EXPECT_EQ(prompter.boxes[0].title, "Problem with acrobat...");
    EXPECT_TRUE(find<QAction>("mnuLocateAcro")->isVisible());
    EXPECT_TRUE(find<QAction>("mnuLine5")->isVisible());
    EXPECT_EQ(settings.get(QStringLiteral("Quirepress/Settings/Acrobat")), QString());
    expectReady();
}

} // namespace
} // namespace qp::test
