// The PDF print server on the session bus with the program's client, printing on a private
// CUPS server, never two at once on the server's name.

#include "SessionServer.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "support/EventGapProbe.h"

#include <QDir>
#include <QTest>
#include <sys/stat.h>

namespace qp::test {
namespace {

using namespace std::chrono_literals;
using Reply = PdfPrintServer::Reply;
constexpr auto PrintTimeout = 2000s;
constexpr ErrorNumber Refused = ErrorNumber::ConversationRefused,
                      Unusable = ErrorNumber::CannotBind;

// The failure a call replies with, nullptr for success. The call itself must return at once,
// and its reply come later from the event loop, which the test runs meanwhile.
std::exception_ptr replyOf(const std::function<void(Reply)>& call) {
    auto reply = std::make_shared<std::optional<std::exception_ptr>>();
    QElapsedTimer took;
    took.start();
    call([reply](std::exception_ptr failure) { *reply = failure; });
    EXPECT_LT(took.elapsed(), 100) << "the call waited";
    EXPECT_FALSE(reply->has_value()) << "replied inside the call";
    EXPECT_TRUE(QTest::qWaitFor([&] { return reply->has_value(); }, 300000)) << "no reply";
    return reply->value_or(
        std::make_exception_ptr(AppError(ErrorNumber::UnexpectedFailure, "no reply")));
}

// Expects the failure of that number whose text holds the words; with no number, success.
void expectFailure(std::exception_ptr failure, std::optional<ErrorNumber> number,
                   const QString& words = {}) {
    try {
        if (failure)
            std::rethrow_exception(failure);
        EXPECT_FALSE(number) << "succeeded";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.number() == number && error.description().contains(words))
            << error.numberAndDescription().toStdString();
    }
}
void expectSuccess(std::exception_ptr failure) {
    expectFailure(failure, std::nullopt);
}

struct Conversation : ServingTest {
    void SetUp() override {
        KeptJobsTest::SetUp();
        server.startServing();
        expectSuccess(connect(client));
    }
    static std::exception_ptr connect(PdfPrintServer& to) {
        return replyOf([&](Reply reply) { to.connect(reply); });
    }
    std::exception_ptr open(const QString& path, PdfPrintServer::Timeout timeout = {}) {
        return replyOf([&](Reply reply) { client.openDocument(path, timeout, reply); });
    }
    std::exception_ptr print(const QString& path, PdfPrintServer::Timeout timeout = PrintTimeout,
                             const QString& destination = queue) {
        PrintOptions to;
        to.destination = destination;
        return replyOf([&](Reply reply) {
            client.printDocument(path, to, timeout,
                                 [reply](std::exception_ptr failure, SentJob) { reply(failure); });
        });
    }
    QTemporaryDir dir;
    const QString good = corpusFile("pdf/rotation.pdf");
    PdfServerProcess server;
    DBusPdfPrintServer client;
};

// The corpus PDFs, and one under names a command could trip over, arrive as sent: intact,
// one job each, in order.
TEST_F(Conversation, DocumentsArriveIntactAsOneJobEachInTheOrderSent) {
    QStringList sent;
    for (const CorpusDocument& pdf : corpus())
        if (pdf.kind == "pdf" && !pdf.locked && pdf.printable)
            sent << pdf.path;
    ASSERT_EQ(sent.size(), 13) << "the corpus is missing or incomplete at QP_CORPUS_DIR";
    for (const char* name : {"two  blanks and [brackets] (round), commas.pdf",
                             "Übersicht – Größe, Straße/Çà et là ñ.pdf", "中文 ファイル/日本語.PDF",
                             "ends early\")] in the middle.pdf", " tab\tand\nnewline .pdf"}) {
        sent << dir.filePath(QString::fromUtf8(name));
        QDir().mkpath(QFileInfo(sent.last()).path());
        ASSERT_TRUE(QFile::copy(corpusFile("pdf/vertical.pdf"), sent.last()));
    }
    for (const QString& path : sent) {
        expectSuccess(open(path));
        expectSuccess(print(path));
    }
    expectSuccess(print(sent.last())); // again without opening it again
    sent << sent.last();
    const QStringList jobs = newJobs(sent.size());
    for (int i = 0; i < std::min(jobs.size(), sent.size()); ++i)
        EXPECT_EQ(fileBytes(jobs[i]), fileBytes(sent[i])) << sent[i].toStdString();
}

// What lies in the document comes as "cannot be bound", a missing default printer as such,
// and the rest as the server's refusal, each with the server's message.
TEST_F(Conversation, RefusedCommandsCarryTheServersMessageAndSpoilNothing) {
    const QString gone = dir.filePath("gone.pdf"), garbage = dir.filePath("garbage.pdf");
    const QString pipe = dir.filePath("pipe.pdf"), missing = "/no/such/folder/x.pdf";
    ASSERT_TRUE(QFile::copy(good, gone) && QFile::copy(corpusFile("MANIFEST.tsv"), garbage));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    expectSuccess(open(gone));
    expectSuccess(open(locked));
    QFile::remove(gone);
    const std::tuple<bool, QString, ErrorNumber, QString> cases[] = {
        // print (else open), path, error
        // Opening another document does not open this one.
        {true, good, Refused, "Cannot print " + good + ": the document has not been opened"},
        {false, missing, Unusable, "Cannot open " + missing + ": the file does not exist."},
        {false, "relative.pdf", Unusable, "must be absolute"},
        {true, "relative.pdf", Unusable, "must be absolute"},
        {false, garbage, Unusable, "it is not a PDF document or it is damaged"},
        // A pipe would block the server until someone writes into it.
        {false, pipe, Unusable, "Cannot open " + pipe + ": it is not a file."},
        // Printing looks at the document again: it may have gone since it was opened.
        {true, gone, Unusable, "Cannot open " + gone},
        {false, corpusFile("pdf/libreoffice-writer-password.pdf"), Unusable, "password"},
        {true, locked, Unusable, "does not allow printing"}};
    for (const auto& [isPrint, path, number, says] : cases) {
        SCOPED_TRACE((isPrint ? "print " : "open ") + path.toStdString());
        expectFailure(isPrint ? print(path, 10s) : open(path, 10s), number, says);
    }
    // The server has no default of its own: the opened document waits for a destination.
    expectSuccess(open(good));
    expectFailure(print(good, PrintTimeout, {}), ErrorNumber::NoDefaultPrinter,
                  "no default printer");
    newJobs(0);
    expectSuccess(print(good));
    newJobs(1);
}

// A reply that comes after its connection ended, or after its client went, reaches nobody.
TEST_F(Conversation, RepliesAfterTheConnectionEndedAreDropped) {
    int dropped = 0;
    const auto count = [&](std::exception_ptr) { ++dropped; };
    {
        DBusPdfPrintServer other;
        expectSuccess(connect(other));
        other.openDocument(good, 10s, count);
        other.connect(count);
    }
    client.openDocument(good, 10s, count);
    client.disconnect();
    expectFailure(open(good), ErrorNumber::ConversationNotOpen);
    expectSuccess(connect(client));
    expectSuccess(open(good)); // the server answers in order: the others have come by now
    EXPECT_EQ(dropped, 0);
}

// A stopped server leaves a command unanswered: it times out, or fails at once when the server
// dies meanwhile. Events, and so repainting, go on while the command waits.
TEST_F(Conversation, UnansweredCommandTimesOutOrFailsAtOnceWhenTheServerDies) {
    const std::tuple<std::chrono::milliseconds, ErrorNumber, QString, qint64> cases[] = {
        {1500ms, ErrorNumber::ConversationTimeout, "1.5 seconds", 1400},
        {20000ms, ErrorNumber::ConversationServerQuit, "ended before it answered", 500}};
    for (const auto& [timeout, number, words, atLeast] : cases) {
        server.signal(SIGSTOP);
        if (number == ErrorNumber::ConversationServerQuit)
            QTimer::singleShot(500, [this] { server.signal(SIGKILL); });
        EventGapProbe probe;
        QElapsedTimer elapsed;
        elapsed.start();
        expectFailure(open(good, timeout), number, words);
        server.signal(SIGCONT);
        EXPECT_LT(probe.longestMilliseconds(), 100) << "the event loop stood still";
        EXPECT_TRUE(elapsed.elapsed() >= atLeast && elapsed.elapsed() < 6000) << elapsed.elapsed();
    }
}

// One server per session bus: a second start ends quietly. A connection stays with the server
// it was made to, even when another one serves by now. Without a server a client has no
// answer at once.
TEST_F(Conversation, OneServerAndWithoutItNoAnswerAtOnce) {
    const QString owner = conversationOwner();
    PdfServerProcess second;
    second.startServing(false);
    ASSERT_TRUE(second.waitForFinished(10000)) << "a second server stayed";
    EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    EXPECT_EQ(conversationOwner(), owner);
    endServingProcess();
    PdfServerProcess next;
    next.startServing();
    expectFailure(open(good), ErrorNumber::ConversationServerQuit);
    endServingProcess();
    DBusPdfPrintServer unanswered;
    QElapsedTimer elapsed;
    elapsed.start();
    expectFailure(connect(unanswered), ErrorNumber::ConversationNoAnswer);
    EXPECT_LT(elapsed.elapsed(), 2000);
}

} // namespace
} // namespace qp::test
