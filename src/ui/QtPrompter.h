#pragma once

#include "core/Prompter.h"

#include <QPointer>
#include <QWidget>

namespace qp {

// Message boxes as QMessageBox, modal and centred on their owner, the main window.
class QtPrompter : public Prompter {
public:
    void setOwner(QWidget* owner) { m_owner = owner; }
    PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                     PromptIcon icon, const QString& detail = QString()) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace qp
