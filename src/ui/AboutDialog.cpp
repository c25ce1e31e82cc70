#include "ui/AboutDialog.h"

#include "core/Messages.h"
#include "ui/WindowPlacement.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace qp {

namespace {

constexpr int ClientWidthTwips = 5790;
constexpr int ClientHeightTwips = 3495;

// The logo's own size in pixels at 96 dpi; m_logoLabel adds a 2 pixel sunken border around it.
constexpr int LogoWidth = 116;
constexpr int LogoHeight = 68;

constexpr double DialogFontPoints = 8.25;

const QColor EtchShadow(128, 128, 128);
const QColor EtchHighlight(255, 255, 255);
const QColor AddressBlue(0, 0, 192);
// The light face the window was drawn for, whatever the desktop's theme.
const QColor Face(240, 240, 240);

// The window's colours are those of its design: black and dark blue text, and a separator
// etched in grey and white, all meant for a light face. On a dark theme they would sink into
// the background, so the window brings its own light face along instead of the desktop's.
QPalette lightPalette(QPalette palette) {
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, Face);
        palette.setColor(group, QPalette::Button, Face);
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::ButtonText, Qt::black);
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::Light, Qt::white);
        palette.setColor(group, QPalette::Midlight, Face.lighter(104));
        palette.setColor(group, QPalette::Mid, QColor(160, 160, 160));
        palette.setColor(group, QPalette::Dark, EtchShadow);
        palette.setColor(group, QPalette::Shadow, QColor(64, 64, 64));
    }
    return palette;
}

const char* const DescriptionText =
    "This application can be used to automate batch printer output from M.S. Office files or "
    "Adobe Acrobat pdf files. Just drag and drop Word, Excel, PowerPoint or pdf files onto the "
    "list window, and click the \"Printer\" button.";

const char* const DisclaimerText =
    "Quirepress may be freely redistributed, but it remains the property of its maker. "
    "MS Office, Word, Power Point and Excel are trademarks of Microsoft Corporation.";

// A stack of fanned sheets coming out of a printer, on a dark blue plate. Drawn in the
// logo's 96 dpi coordinates; the painter's scale takes care of other densities.
void paintLogo(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient plate(0, 0, 0, LogoHeight);
    plate.setColorAt(0.0, QColor(34, 70, 140));
    plate.setColorAt(1.0, QColor(12, 30, 74));
    p.fillRect(QRectF(0, 0, LogoWidth, LogoHeight), plate);

    // Sheets, fanned out behind each other.
    p.setPen(QPen(QColor(90, 100, 120), 0.8));
    const double angles[] = {-14.0, -6.0, 2.0};
    for (double angle : angles) {
        p.save();
        p.translate(34, 44);
        p.rotate(angle);
        p.setBrush(QColor(250, 250, 245));
        p.drawRect(QRectF(-13, -34, 26, 34));
        p.setPen(QPen(QColor(150, 160, 180), 0.8));
        for (int line = 0; line < 5; ++line) {
            p.drawLine(QPointF(-9, -29 + line * 5), QPointF(9 - (line % 2) * 5, -29 + line * 5));
        }
        p.restore();
    }

    // The printer body in front of the sheets.
    QPainterPath body;
    body.addRoundedRect(QRectF(12, 38, 44, 20), 3, 3);
    QLinearGradient metal(0, 38, 0, 58);
    metal.setColorAt(0.0, QColor(220, 224, 232));
    metal.setColorAt(1.0, QColor(150, 156, 170));
    p.setPen(QPen(QColor(40, 44, 56), 1.0));
    p.setBrush(metal);
    p.drawPath(body);
    p.setBrush(QColor(40, 44, 56));
    p.drawRect(QRectF(18, 44, 32, 3));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 200, 90));
    p.drawEllipse(QPointF(50, 53), 1.8, 1.8);

    // The name, in two weights.
    QFont big(QStringLiteral("DejaVu Serif"));
    big.setPixelSize(19);
    big.setBold(true);
    p.setFont(big);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(60, 8, 54, 26), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Q"));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(9);
    small.setBold(true);
    p.setFont(small);
    p.setPen(QColor(200, 215, 245));
    p.drawText(QRectF(60, 32, 54, 12), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("QUIRE"));
    p.drawText(QRectF(60, 44, 54, 12), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("PRESS"));
}

// scale: logical pixels per 96 dpi pixel; deviceRatio: device pixels per logical pixel, so
// that the logo stays sharp on a scaled screen.
QPixmap drawLogo(double scale, double deviceRatio) {
    const double total = scale * deviceRatio;
    QPixmap pixmap(qRound(LogoWidth * total), qRound(LogoHeight * total));
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.scale(total, total);
        paintLogo(p);
    }
    pixmap.setDevicePixelRatio(deviceRatio);
    return pixmap;
}

} // namespace

const char* const AboutDialog::MakerAddress = "qp.example.org";

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    // Lengths scale with the desktop's font scaling, as the fonts given in points do.
    m_twips = TwipScale(logicalDpiX());
    setWindowTitle(QStringLiteral("About Quirepress"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(m_twips.px(ClientWidthTwips), m_twips.px(ClientHeightTwips));

    QFont dialogFont = QApplication::font();
    dialogFont.setPointSizeF(DialogFontPoints);
    setFont(dialogFont);
    setPalette(lightPalette(palette()));
    setAutoFillBackground(true);

    buildControls();
    centreOnScreen();
}

void AboutDialog::buildControls() {
    QFont boldFont = font();
    boldFont.setBold(true);
    QFont addressFont = boldFont;
    addressFont.setUnderline(true);

    m_logoLabel = new QLabel(this);
    m_logoLabel->setObjectName(QStringLiteral("logoLabel"));
    m_logoLabel->setGeometry(m_twips.rect(120, 120, 1800, 1080));
    m_logoLabel->setFrameStyle(QFrame::WinPanel | QFrame::Sunken); // two pixels each side
    m_logoLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_logoLabel->setPixmap(drawLogo(m_twips.factor(), devicePixelRatioF()));

    m_titleLabel = new QLabel(messages::applicationTitle(), this);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setGeometry(m_twips.rect(2640, 240, 2445, 240));
    m_titleLabel->setFont(boldFont);

    m_versionLabel = new QLabel(versionText(), this);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    m_versionLabel->setGeometry(m_twips.rect(2640, 600, 1845, 225));

    m_addressLabel = new QLabel(QString::fromLatin1(MakerAddress), this);
    m_addressLabel->setObjectName(QStringLiteral("addressLabel"));
    m_addressLabel->setGeometry(m_twips.rect(2640, 840, 1815, 255));
    m_addressLabel->setFont(addressFont);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, AddressBlue);
    m_addressLabel->setPalette(blue);
    m_addressLabel->setTextInteractionFlags(Qt::NoTextInteraction); // shown, not followed

    m_descriptionLabel = new QLabel(QString::fromLatin1(DescriptionText), this);
    m_descriptionLabel->setObjectName(QStringLiteral("descriptionLabel"));
    m_descriptionLabel->setGeometry(m_twips.rect(120, 1320, 5565, 930));
    m_descriptionLabel->setWordWrap(true);
    m_descriptionLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_disclaimerLabel = new QLabel(QString::fromLatin1(DisclaimerText), this);
    m_disclaimerLabel->setObjectName(QStringLiteral("disclaimerLabel"));
    m_disclaimerLabel->setGeometry(m_twips.rect(120, 2520, 3870, 825));
    m_disclaimerLabel->setWordWrap(true);
    m_disclaimerLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setGeometry(m_twips.rect(4440, 3000, 1260, 345));
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
}

QString AboutDialog::versionText() {
    return QStringLiteral("Version %1.%2.%3")
        .arg(QP_VERSION_MAJOR)
        .arg(QP_VERSION_MINOR)
        .arg(QP_VERSION_PATCH);
}

void AboutDialog::centreOnScreen() {
    // The native window exists from here on, so the frame is counted where the platform
    // knows it before the window is mapped.
    winId();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    m_outerSizeWhenCentred = frameGeometry().size();
    moveCentred(*this, screen->geometry(), m_outerSizeWhenCentred);
}

void AboutDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Some window managers tell the frame's size only once the window is on screen;
    // centre again on the outer size they report.
    QTimer::singleShot(0, this, [this] {
        if (frameGeometry().size() != m_outerSizeWhenCentred) {
            centreOnScreen();
        }
    });
}

void AboutDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    const int lineWidth = qMax(1, qRound(m_twips.factor()));

    // A grey line along the top edge of the client area.
    p.fillRect(QRect(QPoint(0, 0), QPoint(m_twips.px(5564), lineWidth - 1)), EtchShadow);

    // The etched separator: a white line two pixels high under a grey one, so that grey
    // sits above white.
    const int y = m_twips.px(2400);
    p.fillRect(QRect(QPoint(m_twips.px(120), y), QPoint(m_twips.px(5669), y + 2 * lineWidth - 1)),
               EtchHighlight);
    p.fillRect(QRect(QPoint(m_twips.px(120), y), QPoint(m_twips.px(5684), y + lineWidth - 1)),
               EtchShadow);
}

void AboutDialog::showModal() {
    // Built here and destroyed on return: nothing of one opening survives to the next.
    AboutDialog dialog;
    dialog.exec();
}

} // namespace qp
