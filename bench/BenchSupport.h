#pragma once

#include "core/Prompter.h"

#include <cstdio>

namespace qp::bench {

// A message box during a benchmark means something went wrong: it is printed and counted.
class CountingPrompter : public Prompter {
public:
    explicit CountingPrompter(PromptAnswer answer) : m_answer(answer) {}

    int boxes = 0;

    PromptAnswer ask(const QString& text, const QString& title, PromptButtons, PromptIcon,
                     const QString& = QString()) override {
        ++boxes;
        std::fprintf(stderr, "message box \"%s\": %s\n", qUtf8Printable(title),
                     qUtf8Printable(text));
        return m_answer;
    }

private:
    PromptAnswer m_answer;
};

} // namespace qp::bench
