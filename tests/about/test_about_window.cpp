#include "support/QStringPrinting.h"
#include "ui/AboutDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>

namespace qp {
namespace {

// Opens About as the program does and acts on it from inside its modal loop. A window still
// open five seconds after the action is closed by force, so a broken close path fails the
// test instead of hanging it. Returns whether it had to.
bool openAbout(const std::function<void(AboutDialog&)>& action) {
    bool acted = false, forced = false;
    QElapsedTimer sinceAction;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        if (!acted && about && about->isVisible()) {
            acted = true;
            sinceAction.start();
            action(*about);
        } else if (acted && about && sinceAction.elapsed() > 5000) {
            forced = true;
            about->done(QDialog::Rejected);
        }
    });
    poll.start(10);
    AboutDialog::showModal();
    EXPECT_TRUE(acted);
    return forced;
}

// Each opening is a fresh window, centred on the screen, that shows the project's version,
// keeps the main window from input while it is open, and closes each way a user closes it.
TEST(AboutDialog, OpensFreshModalAndCentredShowsTheVersionAndClosesEachWay) {
    const std::pair<const char*, std::function<void(AboutDialog&)>> ways[] = {
        {"Enter", [](AboutDialog& a) { QTest::keyClick(a.windowHandle(), Qt::Key_Return); }},
        {"Esc", [](AboutDialog& a) { QTest::keyClick(a.windowHandle(), Qt::Key_Escape); }},
        {"OK",
         [](AboutDialog& a) {
             QTest::mouseClick(a.windowHandle(), Qt::LeftButton, {},
                               a.findChild<QPushButton*>("okButton")->geometry().center());
         }},
        {"close button", [](AboutDialog& a) { a.windowHandle()->close(); }}};
    for (const auto& [way, close] : ways) {
        SCOPED_TRACE(way);
        QWidget owner; // stands in for the main window
        auto* input = new QLineEdit(&owner);
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        const auto type = [&](Qt::Key key) { // through the window system, where modality rules
            QTest::keyClick(owner.windowHandle(), key);
            QCoreApplication::processEvents();
        };
        input->setFocus();
        QPointer<AboutDialog> window;
        QString version, typedWhileOpen;
        QPoint offCentre;
        EXPECT_FALSE(openAbout([&](AboutDialog& about) {
            window = &about;
            auto* label = about.findChild<QLabel*>("versionLabel");
            version = label->text();
            label->setText("x"); // nothing done to an open window may reach the next opening
            offCentre = about.frameGeometry().center() - about.screen()->geometry().center();
            type(Qt::Key_A);
            typedWhileOpen = input->text();
            close(about);
        })) << "the window stayed open";
        EXPECT_EQ(version, QStringLiteral("Version " QP_PROJECT_VERSION));
        EXPECT_LE(offCentre.manhattanLength(), 2);
        EXPECT_EQ(typedWhileOpen, "") << "the main window took keys while About was open";
        EXPECT_TRUE(window.isNull()) << "the window outlived its closing";
        owner.activateWindow();
        input->setFocus();
        type(Qt::Key_K);
        EXPECT_EQ(input->text(), "k");
    }
}

} // namespace
} // namespace qp
