#include "support/Fakes.h"

namespace qp::test {

PromptAnswer FakePrompter::ask(const QString& text, const QString& title, PromptButtons buttons,
                               PromptIcon icon) {
    boxes.push_back({text, title, buttons, icon});
    if (journal)
        journal->append("box " + title + ": " + text);
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected message box \"" << title.toStdString()
                      << "\": " << text.toStdString();
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
    const PromptAnswer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

std::optional<QString> FakeFileDialogBackend::choose(const FileDialogRequest& request) {
    requests.push_back(request);
    if (m_answers.empty()) {
        ADD_FAILURE() << "unexpected file dialog \"" << request.title.toStdString() << "\"";
        return std::nullopt;
    }
    auto answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

} // namespace qp::test
