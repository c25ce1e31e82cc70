#include "ui/QtPrompter.h"
#include "core/Messages.h"

#include <QMessageBox>

namespace qp {

PromptAnswer QtPrompter::ask(const QString& text, const QString& title, PromptButtons buttons,
                             PromptIcon icon, const QString& detail) {
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case PromptIcon::Critical:
        boxIcon = QMessageBox::Critical;
        break;
    case PromptIcon::Question:
        boxIcon = QMessageBox::Question;
        break;
    case PromptIcon::Exclamation:
        boxIcon = QMessageBox::Warning;
        break;
    case PromptIcon::Information:
        boxIcon = QMessageBox::Information;
        break;
    }
    const auto standardButtons = buttons == PromptButtons::YesNo
                                     ? QMessageBox::Yes | QMessageBox::No
                                     : QMessageBox::StandardButtons(QMessageBox::Ok);
    // Messages keep their CR LF line breaks; a label shows the CR as nothing, so drop it.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(boxIcon, title.isEmpty() ? messages::applicationTitle() : title, shown,
                    standardButtons, m_owner);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    if (buttons == PromptButtons::YesNo)
        box.setDefaultButton(QMessageBox::Yes);
    const int result = box.exec();
    if (buttons == PromptButtons::Ok)
        return PromptAnswer::Ok;
    return result == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

} // namespace qp
