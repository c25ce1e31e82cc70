#include "ui/AboutWindow.h"

#include <QApplication>
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
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace qp {
namespace {

// Acts on the About window once it is up and modal, from inside frmAbout::showModal's own
// event loop. A window that is still open after the action is closed by force after a few
// seconds, so a broken close path fails the test instead of hanging it.
class WhileAboutIsOpen {
public:
    explicit WhileAboutIsOpen(std::function<void(frmAbout&)> action) : m_action(std::move(action)) {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start();
    }

    bool acted() const { return m_acted; }
    bool closedByForce() const { return m_closedByForce; }

private:
    void poll() {
        auto* about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        if (!m_acted) {
            if (about && about->isVisible()) {
                m_acted = true;
                m_opened.start();
                m_action(*about);
            }
            return;
        }
        if (!about) {
            m_poll.stop();
        } else if (m_opened.elapsed() > 5000) {
            m_closedByForce = true;
            about->done(QDialog::Rejected);
        }
    }

    std::function<void(frmAbout&)> m_action;
    QTimer m_poll;
    QElapsedTimer m_opened;
    bool m_acted = false;
    bool m_closedByForce = false;
};

// Stands in for the main window: somewhere that takes typed input while nothing is modal.
class OwnerStandIn {
public:
    OwnerStandIn() {
        window.setWindowTitle(QStringLiteral("Quirepress"));
        window.setGeometry(20, 30, 400, 300);
        input = new QLineEdit(&window);
        input->setGeometry(10, 10, 200, 25);
        window.show();
        window.activateWindow();
        input->setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Types through the window system, where modal blocking is decided.
    void typeText(const QString& text) {
        for (QChar c : text) {
            QTest::keyClick(window.windowHandle(), Qt::Key(c.toUpper().unicode()), Qt::NoModifier);
        }
        QCoreApplication::processEvents();
    }

    QWidget window;
    QLineEdit* input = nullptr;
};

QString expectedVersionText() {
    return QStringLiteral("Version ") + QStringLiteral(QP_PROJECT_VERSION);
}

TEST(AboutWindowContent, ShowsTheProjectVersionAndNeverTheDesignText) {
    QString shown;
    WhileAboutIsOpen open([&](frmAbout& about) {
        shown = about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text();
        about.done(QDialog::Accepted);
    });
    frmAbout::showModal();

    ASSERT_TRUE(open.acted());
    EXPECT_EQ(shown, expectedVersionText());
    EXPECT_EQ(frmAbout::versionText(), expectedVersionText());
}

TEST(AboutWindowContent, EachOpeningBuildsAFreshWindow) {
    QPointer<frmAbout> first;
    WhileAboutIsOpen firstOpening([&](frmAbout& about) {
        first = &about;
        // Whatever happens to the window while it is open must not reach the next opening.
        about.findChild<QLabel*>(QStringLiteral("lblVersion"))->setText(QStringLiteral("x"));
        about.done(QDialog::Accepted);
    });
    frmAbout::showModal();
    ASSERT_TRUE(firstOpening.acted());
    EXPECT_TRUE(first.isNull()) << "the window outlived its closing";

    QString shownAgain;
    WhileAboutIsOpen secondOpening([&](frmAbout& about) {
        shownAgain = about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text();
        about.done(QDialog::Accepted);
    });
    frmAbout::showModal();
    ASSERT_TRUE(secondOpening.acted());
    EXPECT_EQ(shownAgain, expectedVersionText());
}

TEST(AboutWindowContent, EveryTextFitsItsLabel) {
    frmAbout about;
    const char* const singleLine[] = {"lblTitle", "lblVersion", "Label1"};
    for (const char* name : singleLine) {
        auto* label = about.findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        const QFontMetrics metrics(label->font());
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->contentsRect().width())
            << name << " is cut off: " << label->text().toStdString();
        EXPECT_LE(metrics.height(), label->contentsRect().height() + 2) << name;
    }
    const char* const wrapping[] = {"lblDescription", "lblDisclaimer"};
    for (const char* name : wrapping) {
        auto* label = about.findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(label, nullptr) << name;
        const QFontMetrics metrics(label->font());
        const QRect needed =
            metrics.boundingRect(label->contentsRect(), Qt::TextWordWrap, label->text());
        EXPECT_LE(needed.height(), label->contentsRect().height())
            << name << " loses its last line: " << label->text().toStdString();
    }
    auto* ok = about.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
}

TEST(AboutWindowContent, LogoHasItsFullSizeInsideATwoPixelBorder) {
    frmAbout about;
    auto* picture = about.findChild<QLabel*>(QStringLiteral("picIcon"));
    ASSERT_NE(picture, nullptr);
    const double scale = about.logicalDpiX() / 96.0;
    EXPECT_EQ(picture->frameWidth(), 2);
    const QSizeF logoSize = picture->pixmap().deviceIndependentSize();
    EXPECT_EQ(logoSize, QSizeF(qRound(116 * scale), qRound(68 * scale)));
    EXPECT_EQ(QSizeF(picture->contentsRect().size()), logoSize);

    // A drawn logo, not an empty plate: it has many colours.
    const QImage logo = picture->pixmap().toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < logo.height(); y += 2) {
        for (int x = 0; x < logo.width(); x += 2) {
            colours.insert(logo.pixel(x, y));
        }
    }
    EXPECT_GT(colours.size(), 20);
}

TEST(AboutWindowContent, SeparatorIsEtchedAndTheTopEdgeIsGrey) {
    frmAbout about;
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
    about.done(QDialog::Accepted);
}

TEST(AboutWindowPlacement, OpensCentredOnTheScreenWhereverTheMainWindowIs) {
    OwnerStandIn owner;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (QPoint mainAt : {QPoint(0, 0), QPoint(screen.width() - 420, screen.height() - 320)}) {
        owner.window.move(mainAt);
        QRect outer;
        QRect client;
        WhileAboutIsOpen open([&](frmAbout& about) {
            outer = about.frameGeometry();
            client = about.geometry();
            about.done(QDialog::Accepted);
        });
        frmAbout::showModal();
        ASSERT_TRUE(open.acted());

        EXPECT_EQ(outer.left(), screen.width() / 2 - outer.width() / 2);
        EXPECT_EQ(outer.top(), screen.height() / 2 - outer.height() / 2);
        const double scale = owner.window.logicalDpiX() / 96.0;
        EXPECT_EQ(client.size(), QSize(qRound(386 * scale), qRound(233 * scale)));
    }
}

struct CloseWay {
    const char* name;
    std::function<void(frmAbout&)> close;
};

void PrintTo(const CloseWay& way, std::ostream* out) {
    *out << way.name;
}

class AboutWindowClosing : public ::testing::TestWithParam<CloseWay> {};

TEST_P(AboutWindowClosing, ClosesAndGivesTheMainWindowItsInputBack) {
    OwnerStandIn owner;
    QString typedWhileOpen;
    WhileAboutIsOpen open([&](frmAbout& about) {
        owner.typeText(QStringLiteral("abc"));
        typedWhileOpen = owner.input->text();
        GetParam().close(about);
    });
    frmAbout::showModal();

    ASSERT_TRUE(open.acted());
    EXPECT_FALSE(open.closedByForce()) << GetParam().name << " did not close the window";
    EXPECT_EQ(typedWhileOpen, QString()) << "the main window took keys while About was open";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    owner.window.activateWindow();
    owner.input->setFocus();
    owner.typeText(QStringLiteral("ok"));
    EXPECT_EQ(owner.input->text(), QStringLiteral("ok"));
}

INSTANTIATE_TEST_SUITE_P(
    EveryWay, AboutWindowClosing,
    ::testing::Values(
        CloseWay{"Enter",
                 [](frmAbout& about) { QTest::keyClick(about.windowHandle(), Qt::Key_Return); }},
        CloseWay{"Esc",
                 [](frmAbout& about) { QTest::keyClick(about.windowHandle(), Qt::Key_Escape); }},
        CloseWay{"OK",
                 [](frmAbout& about) {
                     auto* ok = about.findChild<QPushButton*>(QStringLiteral("cmdOK"));
                     QTest::mouseClick(about.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                                       ok->geometry().center());
                 }},
        CloseWay{"CloseButton", [](frmAbout& about) { about.windowHandle()->close(); }}),
    [](const ::testing::TestParamInfo<CloseWay>& info) { return std::string(info.param.name); });

} // namespace
} // namespace qp
