#include "PrintingFakes.h"

#include <gtest/gtest.h>

namespace qp::test {

namespace {

class FakeDocument : public OfficeDocument {
public:
    FakeDocument(FakeOffice& office, QString path) : m_office(office), m_path(std::move(path)) {
        ++m_office.liveDocuments;
    }
    ~FakeDocument() override {
        --m_office.liveDocuments;
        m_office.journal().add("release " + m_path);
    }

    void activate() override { m_office.journalAndFail("activate " + m_path); }
    void print() override { m_office.journalAndFail("print " + m_path); }
    bool backgroundPrintingPending() override {
        m_office.journal().add("pending " + m_path);
        if (m_office.onPending)
            m_office.onPending(m_path);
        m_office.failIfScripted("pending " + m_path);
        std::deque<bool>& pending = m_office.documents[m_path].backgroundPending;
        const bool answer = pending.front();
        if (pending.size() > 1)
            pending.pop_front();
        return answer;
    }
    int sheetCount() override {
        m_office.journalAndFail("sheet count " + m_path);
        return m_office.documents[m_path].worksheetCount;
    }
    void printSheet(int index) override {
        m_office.journalAndFail(QStringLiteral("print %1 sheet %2").arg(m_path).arg(index));
    }
    void close() override { m_office.journalAndFail("close " + m_path); }

private:
    FakeOffice& m_office;
    QString m_path;
};

} // namespace

void expectBox(const FakePrompter& prompter, size_t index, const QString& text,
               const QString& title, PromptButtons buttons, PromptIcon icon) {
    ASSERT_LT(index, prompter.boxes.size()) << "no box " << index;
    const FakePrompter::Box& box = prompter.boxes[index];
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.title, title);
    EXPECT_EQ(box.buttons, buttons);
    EXPECT_EQ(box.icon, icon);
}

long errorNumberOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& error) {
        return error.number();
    }
    return 0;
}

std::unique_ptr<OfficeDocument> FakeOffice::open(const QString& path) {
    m_journal.add("bind " + path);
    if (onOpen)
        onOpen(path);
    failIfScripted("bind " + path);
    return std::make_unique<FakeDocument>(*this, path);
}

void FakeOffice::failIfScripted(const QString& line) {
    const auto failure = failures.find(line);
    if (failure != failures.end())
        std::rethrow_exception(failure->second);
}

void FakePdfPrintServer::connect() {
    m_journal.add(QStringLiteral("connect"));
    EXPECT_FALSE(connected) << "connected while a connection was still open";
    if (unansweredConnects != 0) {
        if (unansweredConnects > 0)
            --unansweredConnects;
        throw AppError(ErrorNumber::ConversationNoAnswer, QStringLiteral("Nobody answered."));
    }
    connected = true;
}

void FakePdfPrintServer::disconnect() {
    if (connected)
        m_journal.add(QStringLiteral("disconnect"));
    connected = false;
}

void FakePdfPrintServer::command(const QString& name, const QString& path, Timeout timeout) {
    m_journal.add(QStringLiteral("%1 %2 @%3")
                      .arg(name, path,
                           timeout ? QString::number(timeout->count() / 1000.0) + 's'
                                   : QStringLiteral("default")));
    EXPECT_TRUE(connected) << "a command was sent without a connection";
    const auto refusal = refusals.find(name);
    if (refusal != refusals.end())
        throw refusal->second;
}

QString FakeBatchRunView::entry(int index) const {
    EXPECT_TRUE(index >= 0 && index < entries.size()) << "entry " << index << " read";
    return entries.value(index);
}

void FakeBatchRunView::addTypedPath() {
    if (!pathBox.isEmpty())
        entries.append(pathBox);
    clearTypedPath();
}

void FakeBatchRunView::clearTypedPath() {
    // Emptying the box is a change of its contents, and so of the batch, only when it held text.
    if (!pathBox.isEmpty())
        skipSave = false;
    pathBox.clear();
}

void FakeBatchRunView::setProgress(int done, int runTotal) {
    m_journal.add(QStringLiteral("progress %1").arg(done));
    EXPECT_EQ(runTotal, total);
    EXPECT_GE(done, 1);
    EXPECT_LE(done, total);
}

void FakeBatchRunView::setReadyState() {
    m_journal.add(QStringLiteral("ready"));
    entries.clear();
    pathBox.clear();
    skipSave = false;
}

} // namespace qp::test
