#pragma once

#include "core/AppError.h"
#include "core/FileDialog.h"
#include "core/Prompter.h"
#include "core/SettingsStore.h"
#include "printing/OfficeDocument.h"
#include "printing/PdfPrintServer.h"
#include "printing/ProgramStarter.h"

#include <QMap>
#include <QStringList>
#include <deque>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace qp::test {

// Answers in the order scripted; a question nobody scripted fails the test.
template <typename Answer> class ScriptedAnswers {
public:
    void script(Answer answer) { m_answers.push_back(std::move(answer)); }
    bool allAnswersUsed() const { return m_answers.empty(); }

protected:
    std::optional<Answer> next(const QString& question) {
        if (m_answers.empty()) {
            ADD_FAILURE() << "unexpected " << question.toStdString();
            return std::nullopt;
        }
        Answer answer = std::move(m_answers.front());
        m_answers.pop_front();
        return answer;
    }

private:
    std::deque<Answer> m_answers;
};

// Records every message box, in the journal too as "box <title>: <text>".
class FakePrompter : public Prompter, public ScriptedAnswers<PromptAnswer> {
public:
    struct Box {
        QString text, title;
        PromptButtons buttons;
        PromptIcon icon;
    };
    PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                     PromptIcon icon) override {
        boxes.push_back({text, title, buttons, icon});
        if (journal)
            journal->append("box " + title + ": " + text);
        return next("message box " + title + ": " + text)
            .value_or(buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No);
    }

    std::vector<Box> boxes;
    QStringList* journal = nullptr;
};

// Answers each file dialog with a path, or nothing for a cancel, and records the requests.
class FakeFileDialogBackend : public FileDialogBackend,
                              public ScriptedAnswers<std::optional<QString>> {
public:
    std::optional<QString> choose(const FileDialogRequest& request) override {
        requests.push_back(request);
        return next("file dialog " + request.title).value_or(std::nullopt);
    }
    std::vector<FileDialogRequest> requests;
};

// Settings in memory, names matched without regard to case; set() and get() take
// "application/section/key". Writes go to the journal as "<key>=<value>".
class FakeSettingsStore : public SettingsStore {
public:
    QString read(const QString& app, const QString& section, const QString& key) override {
        if (failReads)
            throw AppError(ErrorNumber::PermissionDenied, "Settings cannot be read.");
        return get(app + '/' + section + '/' + key).value_or(QString());
    }
    void write(const QString& app, const QString& section, const QString& key,
               const QString& value) override {
        if (failWrites)
            throw AppError(ErrorNumber::PermissionDenied, "Settings cannot be written.");
        set(app + '/' + section + '/' + key, value);
        if (journal)
            journal->append(key + '=' + value);
    }
    void set(const QString& key, const QString& value) { m_values[key.toLower()] = value; }
    std::optional<QString> get(const QString& key) const {
        const auto it = m_values.find(key.toLower());
        return it == m_values.end() ? std::nullopt : std::optional<QString>(*it);
    }

    bool failReads = false;
    bool failWrites = false;
    QStringList* journal = nullptr;

private:
    QMap<QString, QString> m_values;
};

// Seams a test does not exercise: any use fails the test.
struct UnusedOffice : OfficeApplication {
    std::unique_ptr<OfficeDocument> open(const QString& path) override {
        ADD_FAILURE() << "unexpected open of " << path.toStdString();
        throw AppError(ErrorNumber::CannotBind, "not expected");
    }
};
struct UnusedProgramStarter : ProgramStarter {
    void start(const QString& program) override { ADD_FAILURE() << program.toStdString(); }
};
struct UnusedPdfPrintServer : PdfPrintServer {
    void connect() override {
        ADD_FAILURE() << "unexpected connection to the PDF print server";
        throw AppError(ErrorNumber::ConversationNoAnswer, "not expected");
    }
    void openDocument(const QString& path, Timeout) override { ADD_FAILURE() << qPrintable(path); }
    void printDocument(const QString& path, Timeout) override { ADD_FAILURE() << qPrintable(path); }
    void disconnect() override {}
};

} // namespace qp::test
