#include "printing/PrintingFakes.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <ctime>

namespace qp::test {
namespace {

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// The run through the real main window on the offscreen platform, driven through its widgets.
class RunWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        f.office = &office;
        f.settings.set("Quirepress/Settings/Acrobat", "/acro");
        f.window().runStartupChecks();
        f.window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.window()));
        f.find<QLabel>("statusLabel")->installEventFilter(&statusPaints);
    }
    void print(const QStringList& paths, PromptAnswer answer) {
        for (const QString& path : paths) {
            f.find<QLineEdit>("pathEdit")->setText(path);
            QTest::mouseClick(f.find<QPushButton>("addButton"), Qt::LeftButton);
        }
        f.prompter.script(answer);
        QTest::mouseClick(f.find<QPushButton>("printButton"), Qt::LeftButton);
        EXPECT_TRUE(f.prompter.allAnswersUsed());
        EXPECT_TRUE(f.listEntries().isEmpty());
        EXPECT_EQ(f.find<QLabel>("statusLabel")->text(), "Ready");
        EXPECT_FALSE(bar()->isVisible() || f.find<QLabel>("progressLabel")->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    QProgressBar* bar() { return f.find<QProgressBar>("progressBar"); }

    QStringList journal;
    FakeOffice office{journal};
    WindowFixture f;
    PaintCounter statusPaints;
};

TEST_F(RunWindowTest, TheUserSeesEachEntryPreparedWithItsProgressAndThenTheReadyWindow) {
    int paintsBefore = 0;
    QStringList seen;
    office.onOpen = [&] {
        EXPECT_GT(statusPaints.paints, paintsBefore) << "the new status was not painted";
        paintsBefore = statusPaints.paints;
        EXPECT_TRUE(bar()->isVisible() && f.find<QLabel>("progressLabel")->isVisible());
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        seen << QStringLiteral("%1 %2-%3 %4")
                    .arg(bar()->value())
                    .arg(bar()->minimum())
                    .arg(bar()->maximum())
                    .arg(f.find<QLabel>("statusLabel")->text());
    };
    print({"/a.doc", "/b.xls"}, PromptAnswer::No);
    print({"/c.ppt"}, PromptAnswer::No); // after a longer run, one entry fills the bar
    EXPECT_EQ(seen, (QStringList{"1 1-2 Preparing /a.doc for printing.",
                                 "2 1-2 Preparing /b.xls for printing.",
                                 "1 0-1 Preparing /c.ppt for printing."}));
    office.fail("print /d.doc", AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
    print({"/d.doc"}, PromptAnswer::Ok); // and the pointer is restored after a failure
}

TEST_F(RunWindowTest, TheWordWaitTakesInputButNotASecondRunAndDoesNotBurnAProcessor) {
    office.pendingLooks = 40;
    QString typedDuringWait;
    office.onOpen = [&] {
        if (journal.last() == "bind /next.ppt") {
            typedDuringWait = f.find<QLineEdit>("pathEdit")->text();
            return;
        }
        // Events as the platform delivers them: handled only if the wait yields.
        QWidget* print = f.find<QPushButton>("printButton");
        const QPointF at = QRectF(print->rect()).center();
        QCoreApplication::postEvent(f.find<QLineEdit>("pathEdit"),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Z, {}, "z"));
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                print, new QMouseEvent(type, at, print->mapToGlobal(at), Qt::LeftButton, {}, {}));
    };
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer wall;
    wall.start();
    print({"/long.doc", "/next.ppt"}, PromptAnswer::No);
    const double cpuMs = 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    EXPECT_GE(wall.elapsed(), 200) << "the wait did not wait for events at all";
    EXPECT_LT(cpuMs, 0.5 * double(wall.elapsed())) << "cpu " << cpuMs << " ms";
    EXPECT_EQ(typedDuringWait, "z");
    EXPECT_EQ(journal.filter("bind").size(), 2) << "a second run printed again";
}

} // namespace
} // namespace qp::test
