#include "printing/PrintingFakes.h"
#include "support/WindowFixture.h"

#include <QtTest>
#include <QtWidgets>
#include <ctime>

namespace qp::test {
namespace {

// The run through the real main window on the offscreen platform, driven through its widgets.
class RunWindowTest : public QObject, public ::testing::Test, protected WindowFixture {
protected:
    void SetUp() override {
        office = &fakeOffice;
        showReadyWindow();
        find("statusLabel")->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        statusPaints += event->type() == QEvent::Paint;
        return false;
    }
    void print(const QStringList& paths, PromptAnswer answer) {
        for (const QString& path : paths) {
            find<QLineEdit>("pathEdit")->setText(path);
            QTest::mouseClick(find("addButton"), Qt::LeftButton);
        }
        prompter.script(answer);
        QTest::mouseClick(find("printButton"), Qt::LeftButton);
        EXPECT_TRUE(prompter.allAnswersUsed());
        EXPECT_TRUE(window().entries().isEmpty());
        EXPECT_EQ(status(), "Ready");
        EXPECT_FALSE(bar()->isVisible() || find("progressLabel")->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    QProgressBar* bar() { return find<QProgressBar>("progressBar"); }
    QString status() { return find<QLabel>("statusLabel")->text(); }

    QStringList journal;
    FakeOffice fakeOffice{journal};
    int statusPaints = 0;
};

TEST_F(RunWindowTest, TheUserSeesEachEntryPreparedWithItsProgressAndThenTheReadyWindow) {
    int paintsBefore = 0;
    QStringList seen;
    fakeOffice.onOpen = [&] {
        EXPECT_GT(statusPaints, paintsBefore) << "the new status was not painted";
        paintsBefore = statusPaints;
        EXPECT_TRUE(bar()->isVisible() && find("progressLabel")->isVisible());
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        seen << QStringLiteral("%1 %2-%3 %4")
                    .arg(bar()->value())
                    .arg(bar()->minimum())
                    .arg(bar()->maximum())
                    .arg(status());
    };
    print({"/a.doc", "/b.xls"}, PromptAnswer::No);
    print({"/c.ppt"}, PromptAnswer::No); // after a longer run, one entry fills the bar
    EXPECT_EQ(seen, (QStringList{"1 1-2 Preparing /a.doc for printing.",
                                 "2 1-2 Preparing /b.xls for printing.",
                                 "1 0-1 Preparing /c.ppt for printing."}));
    fakeOffice.fail("print /d.doc", AppError(ErrorNumber::NoDefaultPrinter, "no printer"));
    print({"/d.doc"}, PromptAnswer::Ok); // and the pointer is restored after a failure
}

TEST_F(RunWindowTest, TheWordWaitTakesInputButNotASecondRunAndDoesNotBurnAProcessor) {
    fakeOffice.pendingLooks = 30;
    QString typedDuringWait;
    fakeOffice.onOpen = [&] {
        if (journal.last() == "bind /next.ppt") {
            typedDuringWait = find<QLineEdit>("pathEdit")->text();
            return;
        }
        // Events as the platform delivers them: handled only if the wait yields.
        QWidget* print = find("printButton");
        const QPointF at = QRectF(print->rect()).center();
        QCoreApplication::postEvent(find<QLineEdit>("pathEdit"),
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
