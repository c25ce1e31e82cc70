#pragma once

#include "core/Prompter.h"

class QWidget;

namespace qp {

// Message boxes as QMessageBox, modal to the window that is active when they open.
class QtPrompter : public Prompter {
public:
    PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                     PromptIcon icon, const QString& detail = QString()) override;
};

} // namespace qp
