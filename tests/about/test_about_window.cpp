#include "ui/AboutDialog.h"

#include "support/QStringPrinting.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <QtMath>
#include <functional>
#include <gtest/gtest.h>

namespace qp {
namespace {

using namespace Qt::StringLiterals;

struct Opening {
    bool acted = false;
    bool closedByForce = false;
};

// Opens About as the program does and acts on it from inside its modal loop. A window still
// open five seconds after the action is closed by force, so a broken close path fails the
// test instead of hanging it.
Opening openAbout(const std::function<void(AboutDialog&)>& action) {
    Opening opening;
    QElapsedTimer sinceAction;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
        if (!opening.acted && about && about->isVisible()) {
            opening.acted = true;
            sinceAction.start();
            action(*about);
        } else if (opening.acted && about && sinceAction.elapsed() > 5000) {
            opening.closedByForce = true;
            about->done(QDialog::Rejected);
        }
    });
    poll.start(10);
    AboutDialog::showModal();
    return opening;
}

// Stands in for the main window: somewhere that takes typed input while nothing is modal.
struct OwnerStandIn {
    OwnerStandIn() {
        window.setGeometry(20, 30, 400, 300);
        input->setGeometry(10, 10, 200, 25);
        window.show();
        window.activateWindow();
        input->setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // Types through the window system, where modal blocking is decided.
    void type(const QString& text) {
        for (QChar c : text)
            QTest::keyClick(window.windowHandle(), Qt::Key(c.toUpper().unicode()));
        QCoreApplication::processEvents();
    }
    QWidget window;
    QLineEdit* input = new QLineEdit(&window);
};

QLabel* label(const AboutDialog& about, const char* name) {
    auto* found = about.findChild<QLabel*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

TEST(AboutDialog, EachOpeningBuildsAFreshWindowShowingTheProjectVersion) {
    for (int opening = 1; opening <= 2; ++opening) {
        QPointer<AboutDialog> window;
        QString shown;
        ASSERT_TRUE(openAbout([&](AboutDialog& about) {
                        window = &about;
                        shown = label(about, "versionLabel")->text();
                        // Nothing done to an open window may reach the next opening.
                        label(about, "versionLabel")->setText(u"x"_s);
                        about.done(QDialog::Accepted);
                    }).acted);
        EXPECT_EQ(shown, QStringLiteral("Version " QP_PROJECT_VERSION)) << "opening " << opening;
        EXPECT_TRUE(window.isNull()) << "the window outlived its closing";
    }
}

TEST(AboutDialog, EveryTextFitsItsLabelAndOkIsTheDefault) {
    AboutDialog about;
    for (const auto& [name, wraps] : {std::pair{"titleLabel", false},
                                      {"versionLabel", false},
                                      {"addressLabel", false},
                                      {"descriptionLabel", true},
                                      {"disclaimerLabel", true}}) {
        const QLabel* text = label(about, name);
        ASSERT_NE(text, nullptr);
        const QFontMetrics metrics(text->font());
        const QRect room = text->contentsRect();
        const QRect needed =
            wraps ? metrics.boundingRect(room, Qt::TextWordWrap, text->text())
                  : QRect(0, 0, metrics.horizontalAdvance(text->text()), metrics.height() - 2);
        EXPECT_LE(needed.width(), room.width()) << name << " is cut off";
        EXPECT_LE(needed.height(), room.height()) << name << " loses a line";
    }
    auto* ok = about.findChild<QPushButton*>(u"okButton"_s);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), u"OK"_s);
    EXPECT_TRUE(ok->isDefault());
}

TEST(AboutDialog, LogoIsDrawnAtItsFullSizeInsideATwoPixelBorder) {
    AboutDialog about;
    const QLabel* picture = label(about, "logoLabel");
    ASSERT_NE(picture, nullptr);
    const double scale = about.logicalDpiX() / 96.0;
    EXPECT_EQ(picture->frameWidth(), 2);
    const QSizeF logoSize = picture->pixmap().deviceIndependentSize();
    EXPECT_EQ(logoSize, QSizeF(qRound(116 * scale), qRound(68 * scale)));
    EXPECT_EQ(QSizeF(picture->contentsRect().size()), logoSize);
    // A drawn logo, not an empty plate: it has many colours.
    const QImage logo = picture->pixmap().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < logo.height(); y += 2)
        for (int x = 0; x < logo.width(); x += 2)
            colours.insert(logo.pixel(x, y));
    EXPECT_GT(colours.size(), 20);
}

TEST(AboutDialog, SeparatorIsEtchedAndTheTopEdgeIsGrey) {
    AboutDialog about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    // The grab is in device pixels; lengths on the window are in logical ones.
    const QImage image = about.grab().toImage();
    const double scale = about.logicalDpiX() / 96.0 * image.devicePixelRatio();
    const auto at = [&](double x, double y) {
        return QColor(image.pixel(qFloor(x * scale), qFloor(y * scale)));
    };
    EXPECT_EQ(at(200, 160), QColor(128, 128, 128)) << "grey on top";
    EXPECT_EQ(at(200, 161.5), QColor(255, 255, 255)) << "white under it";
    EXPECT_EQ(at(200, 0), QColor(128, 128, 128)) << "grey top edge";
    EXPECT_NE(at(200, 163), QColor(255, 255, 255)) << "the white line is two pixels high";
}

TEST(AboutDialog, OpensCentredOnTheScreenWhereverTheMainWindowIs) {
    OwnerStandIn owner;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const double scale = owner.window.logicalDpiX() / 96.0;
    for (QPoint mainAt : {QPoint(0, 0), QPoint(screen.width() - 420, screen.height() - 320)}) {
        owner.window.move(mainAt);
        QRect outer;
        QRect client;
        ASSERT_TRUE(openAbout([&](AboutDialog& about) {
                        outer = about.frameGeometry();
                        client = about.geometry();
                        about.done(QDialog::Accepted);
                    }).acted);
        EXPECT_EQ(outer.topLeft(), QPoint(screen.width() / 2 - outer.width() / 2,
                                          screen.height() / 2 - outer.height() / 2));
        EXPECT_EQ(client.size(), QSize(qRound(386 * scale), qRound(233 * scale)));
    }
}

TEST(AboutDialog, EnterEscOkAndTheCloseButtonCloseItAndGiveTheMainWindowItsInputBack) {
    const std::pair<const char*, std::function<void(AboutDialog&)>> ways[] = {
        {"Enter",
         [](AboutDialog& about) { QTest::keyClick(about.windowHandle(), Qt::Key_Return); }},
        {"Esc", [](AboutDialog& about) { QTest::keyClick(about.windowHandle(), Qt::Key_Escape); }},
        {"OK",
         [](AboutDialog& about) {
             QTest::mouseClick(about.windowHandle(), Qt::LeftButton, {},
                               about.findChild<QPushButton*>()->geometry().center());
         }},
        {"close button", [](AboutDialog& about) { about.windowHandle()->close(); }}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.first);
        OwnerStandIn owner;
        QString typedWhileOpen;
        const Opening opening = openAbout([&](AboutDialog& about) {
            owner.type(u"abc"_s);
            typedWhileOpen = owner.input->text();
            way.second(about);
        });
        ASSERT_TRUE(opening.acted);
        EXPECT_FALSE(opening.closedByForce) << "the window stayed open";
        EXPECT_EQ(typedWhileOpen, QString()) << "the main window took keys while About was open";
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        owner.window.activateWindow();
        owner.input->setFocus();
        owner.type(u"ok"_s);
        EXPECT_EQ(owner.input->text(), u"ok"_s);
    }
}

} // namespace
} // namespace qp
