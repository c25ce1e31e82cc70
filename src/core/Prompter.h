#pragma once

#include <QString>

namespace qp {

enum class PromptButtons { Ok, YesNo };
enum class PromptIcon { Critical, Question, Exclamation, Information };
enum class PromptAnswer { Ok, Yes, No };

// Modal message boxes. An empty title means the box shows the application title; a detail,
// when there is one, is shown on request below the text.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                             PromptIcon icon, const QString& detail = QString()) = 0;

    void tell(const QString& text, const QString& title, PromptIcon icon) {
        ask(text, title, PromptButtons::Ok, icon);
    }
    bool askYesNo(const QString& text, const QString& title, PromptIcon icon) {
        return ask(text, title, PromptButtons::YesNo, icon) == PromptAnswer::Yes;
    }
};

} // namespace qp
