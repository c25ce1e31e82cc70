#pragma once

#include "core/AppError.h"
#include "printing/Automation.h"
#include "printing/BatchRunView.h"
#include "printing/Conversation.h"
#include "printing/ProgramStarter.h"
#include "printing/WaitClock.h"
#include "support/Fakes.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace qp::test {

// One record of everything the fakes were asked to do, in order, so that a test can check
// the order across the window, the message boxes and the seams.
struct Journal {
    QStringList lines;
    void add(const QString& line) { lines.append(line); }
    // The lines that start with prefix, in order.
    QStringList starting(const QString& prefix) const;
    int indexOf(const QString& line) const { return static_cast<int>(lines.indexOf(line)); }
};

// A prompter that also writes each box into the journal as "box <title>".
class JournalPrompter : public FakePrompter {
public:
    explicit JournalPrompter(Journal& journal) : m_journal(journal) {}
    PromptAnswer ask(const QString& text, const QString& title, PromptButtons buttons,
                     PromptIcon icon) override;

private:
    Journal& m_journal;
};

// How a scripted document behaves. Objects are named after the path: "<path>" for the
// document, "<path>/Parent", "<path>/Worksheets", "<path>/Worksheets(<i>)".
struct DocumentScript {
    int worksheetCount = 0;
    QVariant worksheetCountValue; // when set, returned for Count instead of worksheetCount
    // Successive values of BackgroundPrintingStatus; the last one repeats.
    std::deque<QVariant> backgroundStatus{0};
};

// Binds scripted documents and journals every call as
//   "bind <path>", "call <object>.<member>(<args>)", "value <object>.<member>",
//   "object <object>.<member>(<args>)", "release <object>".
// failures["<object>.<member>"] makes that call throw; a path listed in unbindable cannot
// be bound (ErrorNumber::CannotBind).
class FakeAutomation : public Automation {
public:
    explicit FakeAutomation(Journal& journal) : m_journal(journal) {}

    std::unique_ptr<AutomationObject> bind(const QString& path) override;

    std::map<QString, DocumentScript> documents; // by path; unknown paths use a default
    std::map<QString, AppError> failures;
    std::map<QString, AppError> unbindable;
    int liveObjects = 0;
    int objectsMade = 0;
    // Run when a path is bound and when a value is read, to look at the window then.
    std::function<void(const QString& path)> onBind;
    std::function<void(const QString& object, const QString& member)> onValue;

    // Internal to the fake objects.
    Journal& journal() { return m_journal; }
    DocumentScript& script(const QString& path) { return documents[path]; }
    void failIfScripted(const QString& key);

private:
    Journal& m_journal;
};

// Starts nothing; journals "start <program>", throwing failure when one is set.
class FakeProgramStarter : public ProgramStarter {
public:
    explicit FakeProgramStarter(Journal& journal) : m_journal(journal) {}
    void start(const QString& program) override;

    std::optional<AppError> failure;
    int starts = 0;

private:
    Journal& m_journal;
};

// A server that answers after a scripted number of unanswered opens. Journals
// "open <application>|<topic>|<item>", "execute <command> @<timeout>", "close".
class FakeConversation : public Conversation {
public:
    explicit FakeConversation(Journal& journal) : m_journal(journal) {}

    void open(const QString& application, const QString& topic, const QString& item) override;
    void execute(const QString& command, int timeoutTenths) override;
    void close() override;
    bool isOpen() const override { return m_open; }

    int unansweredOpens = 0; // the next n opens throw 282; negative: nobody ever answers
    // A command that starts with the key throws the error.
    std::map<QString, AppError> refusals;
    QStringList executed;
    QList<int> timeouts;
    int opens = 0;

private:
    Journal& m_journal;
    bool m_open = false;
};

// A clock that only moves when someone sleeps on it.
class FakeWaitClock : public WaitClock {
public:
    std::chrono::steady_clock::time_point now() const override { return m_now; }
    void sleepFor(std::chrono::milliseconds duration) override;

    std::chrono::milliseconds slept{0};
    int sleeps = 0;

private:
    std::chrono::steady_clock::time_point m_now{};
};

// The window as the run sees it, with the same rules for the list, the path box and
// skipSaveOffer as the real one. Journals what the user would see change.
class FakeBatchRunView : public BatchRunView {
public:
    explicit FakeBatchRunView(Journal& journal) : m_journal(journal) {}

    int entryCount() const override { return static_cast<int>(entries.size()); }
    QString entry(int index) const override;

    QString pathToAdd() const override { return pathBox; }
    void addPathToAdd() override;
    void clearPathToAdd() override;

    double progressMaximum() const override { return maximum; }
    double progressMinimum() const override { return minimum; }
    void setProgressMaximum(double value) override;
    void setProgressMinimum(double value) override;
    void setProgressValue(double value) override;
    void showProgress() override;

    void setStatus(const QString& text) override;
    void showBusyPointer() override;
    void restoreDefaultPointer() override;
    void showLocateAcrobat() override;

    bool skipSaveOffer() const override { return skipSave; }
    void setSkipSaveOffer(bool value) override { skipSave = value; }

    void saveBatch() override;
    void setReadyState() override;

    void repaintNow() override;
    void yieldToEvents() override;

    QStringList entries;
    QString pathBox;
    double minimum = 0;
    double maximum = 100;
    double value = 0;
    bool progressVisible = false;
    bool busyPointer = false;
    bool locateAcrobatVisible = false;
    bool skipSave = false;
    QString status = QStringLiteral("Ready");
    QList<QStringList> savedBatches;
    int readyStates = 0;
    int repaints = 0;
    int yields = 0;
    // Values of (minimum, maximum) whenever the minimum was not below the maximum.
    QList<QPair<double, double>> invalidRanges;
    // Runs inside the yield, as the events a user causes during the wait would.
    std::function<void(int yieldNumber)> onYield;

private:
    void checkRange();

    Journal& m_journal;
};

} // namespace qp::test
