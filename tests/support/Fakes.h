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

// Records every message box, in the journal too as "box <title>: <text>", and answers from a
// script; a box nobody scripted fails the test.
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
    bool allAnswersUsed() const { return m_answers.empty(); }

    std::vector<Box> boxes;
    QStringList* journal = nullptr;

private:
    std::deque<PromptAnswer> m_answers;
};

// Answers each dialog from a script (a path, or nothing for a cancel) and records requests.
class FakeFileDialogBackend : public FileDialogBackend {
public:
    void script(std::optional<QString> answer) { m_answers.push_back(std::move(answer)); }
    std::optional<QString> choose(const FileDialogRequest& request) override;
    bool allAnswersUsed() const { return m_answers.empty(); }

    std::vector<FileDialogRequest> requests;

private:
    std::deque<std::optional<QString>> m_answers;
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
    void start(const QString& program) override {
        ADD_FAILURE() << "unexpected start of " << program.toStdString();
    }
};
struct UnusedPdfPrintServer : PdfPrintServer {
    void connect() override {
        ADD_FAILURE() << "unexpected connection to the PDF print server";
        throw AppError(ErrorNumber::ConversationNoAnswer, "not expected");
    }
    void openDocument(const QString& path, Timeout) override {
        ADD_FAILURE() << "open " << path.toStdString();
    }
    void printDocument(const QString& path, Timeout) override {
        ADD_FAILURE() << "print " << path.toStdString();
    }
    void disconnect() override {}
};

} // namespace qp::test
