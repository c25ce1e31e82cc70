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

TEST(AboutDialog, EachOpeningIsAFreshWindowCentredOnTheScreenShowingTheProjectVersion) {
    for (int opening = 1; opening <= 2; ++opening) {
        QPointer<AboutDialog> window;
        QString shown;
        QPoint offCentre;
        openAbout([&](AboutDialog& about) {
            window = &about;
            auto* version = about.findChild<QLabel*>("versionLabel");
            shown = version->text();
            version->setText("x"); // nothing done to an open window may reach the next opening
            offCentre = about.frameGeometry().center() - about.screen()->geometry().center();
            about.done(QDialog::Accepted);
        });
        EXPECT_EQ(shown, QStringLiteral("Version " QP_PROJECT_VERSION)) << "opening " << opening;
        EXPECT_LE(offCentre.manhattanLength(), 2);
        EXPECT_TRUE(window.isNull()) << "the window outlived its closing";
    }
}

TEST(AboutDialog, EnterEscOkAndTheCloseButtonCloseItAndGiveTheMainWindowItsInputBack) {
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
        // Typed through the window system, where modal blocking is decided.
        const auto type = [&](Qt::Key key) {
            QTest::keyClick(owner.windowHandle(), key);
            QCoreApplication::processEvents();
        };
        input->setFocus();
        QString typedWhileOpen;
        EXPECT_FALSE(openAbout([&](AboutDialog& about) {
            type(Qt::Key_A);
            typedWhileOpen = input->text();
            close(about);
        })) << "the window stayed open";
        EXPECT_EQ(typedWhileOpen, "") << "the main window took keys while About was open";
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        owner.activateWindow();
        input->setFocus();
        type(Qt::Key_K);
        EXPECT_EQ(input->text(), "k");
    }
}

} // namespace
} // namespace qp
