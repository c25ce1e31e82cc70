#pragma once

#include "core/Prompter.h"

#include <functional>
#include <utility>

namespace qp {

// The window's message boxes, all asked through one prompter that says when the first of them
// opens and when it is answered: what must not happen under an open question (the run's next
// step, another question) waits for the answer.
class QuestionGate : public Prompter {
public:
    QuestionGate(Prompter& prompter, std::function<void()> opened, std::function<void()> answered)
        : m_prompter(prompter), m_opened(std::move(opened)), m_answered(std::move(answered)) {}

    PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                     PromptIcon icon, const QString& detail = QString()) override {
        if (m_open++ == 0)
            m_opened();
        const Answered answered{*this};
        return m_prompter.ask(text, title, buttons, icon, detail);
    }
    bool isOpen() const { return m_open > 0; }

private:
    struct Answered {
        QuestionGate& gate;
        ~Answered() {
            if (--gate.m_open == 0)
                gate.m_answered();
        }
    };

    Prompter& m_prompter;
    std::function<void()> m_opened;
    std::function<void()> m_answered;
    int m_open = 0;
};

} // namespace qp
