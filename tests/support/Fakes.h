#pragma once

#include "core/AppError.h"
#include "core/FileDialog.h"
#include "core/Prompter.h"
#include "core/SettingsStore.h"

#include <QMap>
#include <QString>
#include <deque>
#include <optional>
#include <vector>

namespace qp::test {

// Records every message box and answers from a script; a box nobody scripted fails the test.
class FakePrompter : public Prompter {
public:
    struct Box {
        QString text;
        QString title;
        PromptButtons buttons;
        PromptIcon icon;
    };

    void script(PromptAnswer answer) { m_answers.push_back(answer); }
    PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                     PromptIcon icon) override;

    std::vector<Box> boxes;
    bool allAnswersUsed() const { return m_answers.empty(); }

private:
    std::deque<PromptAnswer> m_answers;
};

// Answers each dialog from a script (a path, or nothing for a cancel) and records requests.
class FakeFileDialogBackend : public FileDialogBackend {
public:
    void script(std::optional<QString> answer) { m_answers.push_back(std::move(answer)); }
    std::optional<QString> choose(const FileDialogRequest& request) override;

    std::vector<FileDialogRequest> requests;
    bool allAnswersUsed() const { return m_answers.empty(); }

private:
    std::deque<std::optional<QString>> m_answers;
};

// An in-memory settings store; names match without regard to case. failReads/failWrites
// make the next calls throw, to drive the failure paths.
class FakeSettingsStore : public SettingsStore {
public:
    QString read(const QString& application, const QString& section, const QString& key) override;
    void write(const QString& application, const QString& section, const QString& key,
               const QString& value) override;

    // Direct access for arranging and checking, by "application/section/key".
    void set(const QString& key, const QString& value) { m_values[key.toLower()] = value; }
    std::optional<QString> get(const QString& key) const;

    bool failReads = false;
    bool failWrites = false;
    int writes = 0;

private:
    QMap<QString, QString> m_values;
};

} // namespace qp::test
