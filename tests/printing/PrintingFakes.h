#pragma once

#include "printing/WaitClock.h"
#include "support/Fakes.h"

#include <exception>
#include <functional>
#include <map>

namespace qp::test {

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
    template <typename Error> void fail(const QString& line, const Error& error) {
        failures[line] = std::make_exception_ptr(error);
    }

    int pendingLooks = 1; // a Word document is still printing at the first look
    int sheets = 2;
    int liveDocuments = 0;
    std::map<QString, std::exception_ptr> failures;
    std::function<void()> onOpen; // runs as a document is bound

private:
    void call(const QString& line) {
        m_journal.append(line);
        if (onOpen && line.startsWith("bind "))
            onOpen();
        if (const auto failure = failures.find(line); failure != failures.end())
            std::rethrow_exception(failure->second);
    }
    struct Document : OfficeDocument {
        Document(FakeOffice& office, const QString& path) : office(office), path(path) {
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
class FakePdfProgram : public ProgramStarter, public PdfPrintServer {
public:
    explicit FakePdfProgram(QStringList& journal) : m_journal(journal) {}
    void start(const QString& program) override {
        m_journal.append("start " + program);
        if (startFailure)
            throw *startFailure;
    }
    void connect() override {
        EXPECT_FALSE(m_connected) << "connected while a connection was still open";
        m_journal.append(unansweredConnects ? "no answer" : "connect");
        if (unansweredConnects-- != 0)
            throw AppError(ErrorNumber::ConversationNoAnswer, "Nobody answered.");
        m_connected = true;
    }
    void openDocument(const QString& path, Timeout timeout) override {
        command("open", path, timeout);
    }
    void printDocument(const QString& path, Timeout timeout) override {
        command("print", path, timeout);
    }
    void disconnect() override {
        if (m_connected)
            m_journal.append("disconnect");
        m_connected = false;
    }

    std::optional<AppError> startFailure;
    int unansweredConnects = 0; // the next n connects throw 282; negative: nobody ever answers

private:
    void command(const char* name, const QString& path, Timeout timeout) {
        EXPECT_TRUE(m_connected) << "a command was sent without a connection";
        const QString time = timeout ? QString::number(timeout->count() / 1000) + 's' : "default";
        m_journal.append(QStringLiteral("%1 %2 @%3").arg(name, path, time));
    }

    QStringList& m_journal;
    bool m_connected = false;
};

// A clock that only moves when someone sleeps on it.
struct FakeWaitClock : WaitClock {
    std::chrono::steady_clock::time_point now() const override { return time; }
    void sleepFor(std::chrono::milliseconds duration) override { time += duration; }
    std::chrono::steady_clock::time_point time{};
};

} // namespace qp::test
