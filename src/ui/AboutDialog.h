#pragma once

#include "ui/Twips.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace qp {

// The About window: logo, name, version, web address, what the program does and the
// disclaimer. It keeps no state: each opening builds it afresh and closing destroys it.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // Builds the window, shows it application-modal with no owner and returns once it has
    // been closed (OK, Enter, Esc or the close button) and destroyed.
    static void showModal();

    // "Version " + major.minor.patch of the program.
    static QString versionText();

    // The maker's web address shown under the version.
    static const char* const MakerAddress;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void centreOnScreen();

    TwipScale m_twips;
    QSize m_outerSizeWhenCentred;

    QLabel* m_logoLabel = nullptr;
    QLabel* m_titleLabel = nullptr;
    QLabel* m_versionLabel = nullptr;
    QLabel* m_addressLabel = nullptr;
    QLabel* m_descriptionLabel = nullptr;
    QLabel* m_disclaimerLabel = nullptr;
    QPushButton* m_okButton = nullptr;
};

} // namespace qp
