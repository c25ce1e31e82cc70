#pragma once

#include "core/AppError.h"
#include "printing/BatchRunView.h"
#include "printing/OfficeDocument.h"
#include "printing/PdfPrintServer.h"
#include "printing/ProgramStarter.h"
#include "printing/WaitClock.h"
#include "support/Fakes.h"

#include <QRegularExpression>
#include <QStringList>
#include <deque>
#include <exception>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>

namespace qp::test {

// Everything the fakes were asked to do, in order, so that a test can check the order
// across the window, the message boxes and the seams.
struct Journal {
    QStringList lines;
    void add(const QString& line) { lines.append(line); }
    QStringList starting(const QString& prefix) const {
        return lines.filter(QRegularExpression('^' + QRegularExpression::escape(prefix)));
    }
    int indexOf(const QString& line) const { return static_cast<int>(lines.indexOf(line)); }
};

// Also journals each box as "box <title>".
class JournalPrompter : public FakePrompter {
public:
    explicit JournalPrompter(Journal& journal) : m_journal(journal) {}
    PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                     PromptIcon icon) override {
        m_journal.add("box " + title);
        return FakePrompter::ask(text, title, buttons, icon);
    }
    QStringList titles() const {
        QStringList titles;
        for (const Box& box : boxes)
            titles.append(box.title);
        return titles;
    }

private:
    Journal& m_journal;
};

// Checks box number index in full.
void expectBox(const FakePrompter& prompter, size_t index, const QString& text,
               const QString& title, PromptButtons buttons, PromptIcon icon);
// The number of the AppError that action throws; 0 when it throws none.
long errorNumberOf(const std::function<void()>& action);

// How a scripted document behaves.
struct DocumentScript {
    int worksheetCount = 0;
    // Successive answers to whether background printing is pending; the last one repeats.
    std::deque<bool> backgroundPending{false};
};

// Journals "bind <path>" for each open, and "<call> <path>" for each call on the document:
// "activate", "print", "pending", "sheet count", "close", and "print <path> sheet <index>";
// "release <path>" when the document is destroyed. An error set with fail() for one of these
// lines is thrown by that call.
class FakeOffice : public OfficeApplication {
public:
    explicit FakeOffice(Journal& journal) : m_journal(journal) {}
    std::unique_ptr<OfficeDocument> open(const QString& path) override;

    template <typename Error> void fail(const QString& line, const Error& error) {
        failures[line] = std::make_exception_ptr(error);
    }

    std::map<QString, DocumentScript> documents;
    std::map<QString, std::exception_ptr> failures;
    int liveDocuments = 0;
    // To look at the window, or to change the world, at that moment.
    std::function<void(const QString& path)> onOpen;
    std::function<void(const QString& path)> onPending;

    // For the fake's documents.
    Journal& journal() { return m_journal; }
    void failIfScripted(const QString& line);
    void journalAndFail(const QString& line) {
        m_journal.add(line);
        failIfScripted(line);
    }

private:
    Journal& m_journal;
};

// Journals "start <program>", throwing failure when one is set.
class FakeProgramStarter : public ProgramStarter {
public:
    explicit FakeProgramStarter(Journal& journal) : m_journal(journal) {}
    void start(const QString& program) override {
        m_journal.add("start " + program);
        if (failure)
            throw *failure;
    }
    std::optional<AppError> failure;

private:
    Journal& m_journal;
};

// Journals "connect", "open <path> @<timeout>", "print <path> @<timeout>" (the time-out in
// seconds, or "default") and "disconnect" when it ends a connection.
class FakePdfPrintServer : public PdfPrintServer {
public:
    explicit FakePdfPrintServer(Journal& journal) : m_journal(journal) {}
    void connect() override;
    void openDocument(const QString& absolutePath, Timeout timeout) override {
        command(QStringLiteral("open"), absolutePath, timeout);
    }
    void printDocument(const QString& absolutePath, Timeout timeout) override {
        command(QStringLiteral("print"), absolutePath, timeout);
    }
    void disconnect() override;

    bool connected = false;
    int unansweredConnects = 0; // the next n connects throw 282; negative: nobody ever answers
    std::map<QString, AppError> refusals; // "open" or "print" throws the error

private:
    void command(const QString& name, const QString& path, Timeout timeout);

    Journal& m_journal;
};

// A clock that only moves when someone sleeps on it.
class FakeWaitClock : public WaitClock {
public:
    std::chrono::steady_clock::time_point now() const override { return m_now; }
    void sleepFor(std::chrono::milliseconds duration) override {
        m_now += duration;
        slept += duration;
        ++sleeps;
    }

    std::chrono::milliseconds slept{0};
    int sleeps = 0;

private:
    std::chrono::steady_clock::time_point m_now{};
};

// The window as the run sees it, with the real one's rules for the list, the path box and
// the save offer. Fails the test on progress outside the run's entries.
class FakeBatchRunView : public BatchRunView {
public:
    explicit FakeBatchRunView(Journal& journal) : m_journal(journal) {}

    int entryCount() const override { return static_cast<int>(entries.size()); }
    QString entry(int index) const override;
    QString typedPath() const override { return pathBox; }
    void addTypedPath() override;
    void clearTypedPath() override;

    void startProgress(int runTotal) override {
        m_journal.add(QStringLiteral("show progress"));
        total = runTotal;
    }
    void setProgress(int done, int runTotal) override;

    void setStatus(const QString& text) override { m_journal.add("status " + text); }
    void showBusyPointer() override { m_journal.add(QStringLiteral("busy pointer")); }
    void restoreDefaultPointer() override {}
    void showLocatePdfServer() override { m_journal.add(QStringLiteral("show locate acrobat")); }

    bool skipSaveOffer() const override { return skipSave; }
    void setSkipSaveOffer(bool skip) override { skipSave = skip; }
    void saveBatch() override {
        m_journal.add(QStringLiteral("save batch"));
        savedBatches.append(entries);
    }
    void setReadyState() override;

    void repaintNow() override { m_journal.add(QStringLiteral("repaint")); }
    void yieldToEvents() override {
        m_journal.add(QStringLiteral("yield"));
        if (onYield)
            onYield(++yields);
    }

    QStringList entries;
    QString pathBox;
    int total = 0; // of the run's progress
    bool skipSave = false;
    QList<QStringList> savedBatches;
    int yields = 0;
    // Runs inside each yield, as the events a user causes during the wait would.
    std::function<void(int yieldNumber)> onYield;

private:
    Journal& m_journal;
};

} // namespace qp::test
