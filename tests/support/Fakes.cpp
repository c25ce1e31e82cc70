#include "support/Fakes.h"

#include <gtest/gtest.h>

namespace qp::test {

PromptAnswer FakePrompter::ask(const QString& text, const QString& title, PromptButtons buttons,
                               PromptIcon icon) {
    boxes.push_back({text, title, buttons, icon});
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

static QString joinKey(const QString& application, const QString& section, const QString& key) {
    return (application + '/' + section + '/' + key).toLower();
}

QString FakeSettingsStore::read(const QString& application, const QString& section,
                                const QString& key) {
    if (failReads)
        throw AppError(ErrorNumber::PermissionDenied, QStringLiteral("Settings cannot be read."));
    return m_values.value(joinKey(application, section, key));
}

void FakeSettingsStore::write(const QString& application, const QString& section,
                              const QString& key, const QString& value) {
    if (failWrites)
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Settings cannot be written."));
    ++writes;
    m_values[joinKey(application, section, key)] = value;
}

std::optional<QString> FakeSettingsStore::get(const QString& key) const {
    const auto it = m_values.find(key.toLower());
    if (it == m_values.end())
        return std::nullopt;
    return *it;
}

} // namespace qp::test
