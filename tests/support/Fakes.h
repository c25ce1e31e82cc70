#pragma once

#include "core/AppError.h"
#include "core/FileDialog.h"
#include "core/Prompter.h"
#include "core/SettingsStore.h"
#include "printing/BatchRunView.h"
#include "printing/OfficeDocument.h"
#include "printing/PdfPrintServer.h"
#include "printing/ProgramStarter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <exception>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <vector>

// Readable failure messages for Qt text in gtest assertions.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << qPrintable(text) << '"';
}
QT_END_NAMESPACE

namespace qp {
// Failure messages name an error by the number users see.
inline std::ostream& operator<<(std::ostream& out, ErrorNumber number) {
    return out << userNumber(number);
}
} // namespace qp

namespace qp::test {

inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << "cannot read " << path.toStdString();
    return file.readAll();
}
// Returns the path; makes the folders on the way, throws when it cannot write, and makes the
// file executable when asked.
inline QString writeFile(const QString& path, const QByteArray& content, bool executable = false) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
        throw std::runtime_error(("cannot write " + path).toStdString());
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

// The program run to its end, for five minutes at most, in that folder and environment: exit
// status (-1 after a crash), standard output and standard error.
inline std::tuple<int, QString, QString>
runProgram(const QString& program, const QStringList& arguments, const QString& folder = {},
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    const bool ended =
        process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// The error the action raises; a test failure when it raises none.
inline AppError failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return AppError(ErrorNumber::UnexpectedFailure, QStringLiteral("no error"));
}

// Answers in the order scripted; a question nobody scripted fails the test.
template <typename Answer> class ScriptedAnswers {
public:
    void script(Answer answer) { m_answers.append(std::move(answer)); }
    bool allAnswersUsed() const { return m_answers.empty(); }

protected:
    std::optional<Answer> next(const QString& question) {
        if (m_answers.empty()) {
            ADD_FAILURE() << "unexpected " << question.toStdString();
            return std::nullopt;
        }
        return m_answers.takeFirst();
    }

private:
    QList<Answer> m_answers;
};

// Records every message box, in the journal too as "box <title>: <text>", and " [<detail>]"
// when there is one.
class FakePrompter : public Prompter, public ScriptedAnswers<PromptAnswer> {
public:
    struct Box {
        QString text, title;
        PromptButtons buttons;
        PromptIcon icon;
        QString detail;
    };
    PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                     PromptIcon icon, const QString& detail = QString()) override {
        boxes.push_back({text, title, buttons, icon, detail});
        if (journal)
            journal->append("box " + title + ": " + text +
                            (detail.isEmpty() ? QString() : " [" + detail + "]"));
        EXPECT_EQ(m_open++, 0) << "a box over another: " << title.toStdString();
        if (whileOpen) // what happens while the user reads the box
            whileOpen();
        --m_open;
        return next("message box " + title + ": " + text)
            .value_or(buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No);
    }

    std::vector<Box> boxes;
    QStringList* journal = nullptr;
    std::function<void()> whileOpen;

private:
    int m_open = 0;
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
        return get(app + '/' + section + '/' + key);
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
    QString get(const QString& key) const { return m_values.value(key.toLower()); }

    bool failReads = false;
    bool failWrites = false;
    QStringList* journal = nullptr;

private:
    QMap<QString, QString> m_values;
};

// Journals "bind <path>", then "activate", "print", "pending", "sheets" and "close" with the
// path and "sheet <n>". A call whose line has a failure set throws it.
class FakeOffice : public OfficeApplication {
public:
    explicit FakeOffice(QStringList& journal) : m_journal(journal) {}
    std::unique_ptr<OfficeDocument> open(const QString& path) override {
        EXPECT_EQ(liveDocuments, 0) << "the last document was not let go";
        call("bind " + path);
        return std::make_unique<Document>(*this, path);
    }
    void setPrintOptions(const PrintOptions&) override {}
    template <typename Error> void fail(const QString& line, const Error& error) {
        failures[line] = std::make_exception_ptr(error);
    }

    int pendingLooks = 1; // a Word document is still printing at the first look
    int sheets = 2;
    int liveDocuments = 0;
    QMap<QString, std::exception_ptr> failures;
    std::function<void()> onOpen; // runs as a document is bound

private:
    void call(const QString& line) {
        m_journal.append(line);
        if (onOpen && line.startsWith("bind "))
            onOpen();
        if (const std::exception_ptr failure = failures.value(line))
            std::rethrow_exception(failure);
    }
    struct Document : OfficeDocument {
        Document(FakeOffice& owner, const QString& opened) : office(owner), path(opened) {
            ++office.liveDocuments;
        }
        ~Document() override { --office.liveDocuments; }
        void activate() override { office.call("activate " + path); }
        void print() override { office.call("print " + path); }
        bool backgroundPrintingPending() override {
            office.call("pending " + path);
            return looks++ < office.pendingLooks;
        }
        int sheetCount() override {
            office.call("sheets " + path);
            return office.sheets;
        }
        void printSheet(int n) override { office.call(QStringLiteral("sheet %1").arg(n)); }
        void close() override { office.call("close " + path); }

        FakeOffice& office;
        QString path;
        int looks = 0;
    };

    QStringList& m_journal;
};

// The PDF program and its server. Journals "start <program>", "connect" or "no answer",
// "open|print <path> @<time-out in s, or default>" and "disconnect" after a connection.
// Replies come from the event loop, as the real client's do.
class FakePdfProgram : public ProgramStarter, public PdfPrintServer {
public:
    explicit FakePdfProgram(QStringList& journal) : m_journal(journal) {}
    void start(const QString& program) override {
        m_journal.append("start " + program);
        if (startFailure)
            throw *startFailure;
    }
    bool hasEnded() const override { return ended; }
    void connect(Reply reply) override {
        EXPECT_FALSE(m_connected) << "connected while a connection was still open";
        m_journal.append(unansweredConnects ? "no answer" : "connect");
        if (unansweredConnects-- != 0) {
            later(reply, AppError(ErrorNumber::ConversationNoAnswer, "Nobody answered."));
            return;
        }
        m_connected = true;
        later(reply);
    }
    void openDocument(const QString& path, Timeout timeout, Reply reply) override {
        command("open", path, timeout, reply);
    }
    void printDocument(const QString& path, const PrintOptions& options, Timeout timeout,
                       PrintReply reply) override {
        command("print", path, timeout, [reply, options](std::exception_ptr failure) {
            reply(failure, {failure ? 0 : 1, options.destination, 0, 1, {}});
        });
    }
    void disconnect() override {
        if (m_connected)
            m_journal.append("disconnect");
        m_connected = false;
    }

    std::optional<AppError> startFailure;
    int unansweredConnects = 0; // the next n connects fail with 282; negative: nobody ever answers
    bool ended = false;         // the program started last has ended
    std::optional<AppError> printFailure;
    bool silentPrint = false; // print commands never answer

private:
    void command(const char* name, const QString& path, Timeout timeout, const Reply& reply) {
        EXPECT_TRUE(m_connected) << "a command was sent without a connection";
        const QString time = timeout ? QString::number(timeout->count() / 1000) + 's' : "default";
        m_journal.append(QStringLiteral("%1 %2 @%3").arg(name, path, time));
        const bool printing = qstrcmp(name, "print") == 0;
        if (!(printing && silentPrint))
            later(reply, printing ? printFailure : std::nullopt);
    }
    void later(const Reply& reply, std::optional<AppError> failure = std::nullopt) {
        QTimer::singleShot(0, &m_context, [reply, failure] {
            reply(failure ? std::make_exception_ptr(*failure) : nullptr);
        });
    }

    QStringList& m_journal;
    QObject m_context;
    bool m_connected = false;
};

// The window as the batch run sees it, with the real one's rules for the list, the path box
// and the save offer. The journal gets what the run showed and did.
struct ListRunView : BatchRunView {
    int entryCount() const override { return static_cast<int>(entries.size()); }
    QString entry(int index) const override { return entries.value(index); }
    QString typedPath() const override { return pathBox; }
    void addTypedPath() override {
        if (!pathBox.isEmpty())
            entries.append(pathBox);
        clearTypedPath();
    }
    void clearTypedPath() override {
        skip = skip && pathBox.isEmpty(); // emptying a box that held text changes the batch
        pathBox.clear();
    }
    void startProgress(int) override {}
    void setProgress(int, int) override {}
    void setStatus(const QString&) override {
        if (onStatus)
            onStatus();
    }
    void showBusyPointer() override {}
    void restoreDefaultPointer() override {}
    void showLocatePdfServer() override { note("show locate"); }
    bool skipSaveOffer() const override { return skip; }
    void setSkipSaveOffer(bool value) override { skip = value; }
    void saveBatch() override { note("save " + entries.join(", ")); }
    void setReadyState() override {
        entries.clear();
        pathBox.clear();
        skip = false;
        note("ready");
    }
    void note(const QString& line) {
        if (journal)
            journal->append(line);
    }

    QStringList entries;
    QString pathBox;
    bool skip = false;
    QStringList* journal = nullptr;
    std::function<void()> onStatus; // runs as the status line changes
};

} // namespace qp::test
