// The PDF print server: how it reads commands, and the real server on the test run's session
// bus with the program's client, printing into a private CUPS server.

#include "PdfServerHarness.h"
#include "platform/dbus/ConversationAddress.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "support/EventGapProbe.h"

#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

namespace qp::test {
namespace {

using namespace std::chrono_literals;
constexpr auto PrintTimeout = 2000s;
constexpr long Refused = ErrorNumber::ConversationRefused, Unusable = ErrorNumber::CannotBind;

class Conversation : public ServingTest {
protected:
    void SetUp() override {
        KeptJobsTest::SetUp();
        server.startServing();
        client.connect();
    }
    QTemporaryDir dir;
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
        client.openDocument(path, std::nullopt);
        client.printDocument(path, PrintTimeout);
    }
    client.printDocument(sent.last(), PrintTimeout); // again without opening it again
    sent << sent.last();
    client.disconnect();
    EXPECT_FALSE(client.isConnected());
    const QStringList jobs = newJobs(sent.size());
    for (int i = 0; i < std::min(jobs.size(), sent.size()); ++i)
        EXPECT_EQ(fileBytes(jobs[i]), fileBytes(sent[i])) << sent[i].toStdString();
}

// What lies in the document comes as "cannot be bound"; the rest is the server's refusal.
TEST_F(Conversation, RefusedCommandsCarryTheServersMessageAndSpoilNothing) {
    const QString good = corpusFile("pdf/rotation.pdf"), gone = dir.filePath("gone.pdf");
    const QString garbage = dir.filePath("garbage.pdf"), empty = dir.filePath("empty.pdf");
    const QString pipe = dir.filePath("pipe.pdf"), folder = dir.filePath("folder.pdf");
    const QString missing = "/no/such/folder/x.pdf",
                  locked = corpusFile("pdf/encryption_noprinting.pdf");
    ASSERT_TRUE(QFile::copy(good, gone) && QFile::copy(corpusFile("MANIFEST.tsv"), garbage));
    QFile(empty).open(QIODevice::WriteOnly);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(folder));
    client.openDocument(gone, std::nullopt);
    client.openDocument(locked, std::nullopt);
    QFile::remove(gone);
    const std::tuple<bool, QString, long, QString> cases[] = {
        // print (else open), path, error
        // Opening another document does not open this one.
        {true, good, Refused, "Cannot print " + good + ": the document has not been opened"},
        {false, missing, Unusable, "Cannot open " + missing + ": the file does not exist."},
        {true, missing, Refused, "has not been opened"},
        {false, "relative.pdf", Unusable, "must be absolute"},
        {false, garbage, Unusable,
         "Cannot open " + garbage + ": it is not a PDF document or it is damaged"},
        {false, empty, Unusable, "Cannot open " + empty + ": it is not a PDF"},
        // A pipe would block the server until someone writes into it.
        {false, pipe, Unusable, "Cannot open " + pipe + ": it is not a file."},
        {false, folder, Unusable, "Cannot open " + folder + ": it is not a file."},
        // Printing looks at the document again: it may have gone since it was opened.
        {true, gone, Unusable, "Cannot open " + gone},
        {false, corpusFile("pdf/libreoffice-writer-password.pdf"), Unusable, "password"},
        {true, locked, Unusable, "does not allow printing"},
    };
    for (const auto& [print, path, number, says] : cases) {
        SCOPED_TRACE((print ? "print " : "open ") + path.toStdString());
        expectFailure(
            [&, print = print, path = path] {
                print ? client.printDocument(path, 10s) : client.openDocument(path, 10s);
            },
            number, says);
    }
    // Anything but the two known commands is refused, naming what came, cut short for the user.
    const auto address = dbus::conversationAddress("AcroView", "Control");
    for (const QString& command :
         {QString("[AppExit()]"), "[docopen(\"" + good + "\")]", "[DocOpen(" + good + ")]",
          "[DocOpen(\"" + good + "\")] ", QString("[DocOpen(\"\")]"),
          "[Nonsense(" + QString(100000, 'x')}) {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(address.service, address.path, address.interface,
                                           dbus::executeMethod)
            << command);
        EXPECT_EQ(reply.errorName(), dbus::refusedErrorName);
        EXPECT_TRUE(reply.errorMessage().contains(command.left(40)) &&
                    reply.errorMessage().size() < 500)
            << reply.errorMessage().toStdString();
    }
    // Without a default printer the opened document waits until there is one.
    cups->clearDefault();
    client.openDocument(good, std::nullopt);
    expectFailure([&] { client.printDocument(good, PrintTimeout); }, Refused, "no default printer");
    newJobs(0);
    cups->setDefault(queue);
    client.printDocument(good, PrintTimeout);
    newJobs(1);
}

// A stopped server leaves a command unanswered: it times out, or fails at once when the server
// dies meanwhile. Events, and so repainting, go on while the command waits.
TEST_F(Conversation, UnansweredCommandTimesOutOrFailsAtOnceWhenTheServerDies) {
    const std::tuple<std::chrono::milliseconds, long, QString, qint64> cases[] = {
        {1500ms, ErrorNumber::ConversationTimeout, "1.5 seconds", 1400},
        {20000ms, DBusPdfPrintServer::ServerQuitError, "AcroView|Control", 500}}; // killed at 0.5 s
    for (const auto& [timeout, number, words, atLeast] : cases) {
        server.signal(SIGSTOP);
        if (number == DBusPdfPrintServer::ServerQuitError)
            QTimer::singleShot(500, [this] { server.signal(SIGKILL); });
        EventGapProbe probe;
        QElapsedTimer elapsed;
        elapsed.start();
        expectFailure(
            [&, timeout = timeout] {
                client.openDocument(corpusFile("pdf/rotation.pdf"), timeout);
            },
            number, words);
        server.signal(SIGCONT);
        EXPECT_LT(probe.longestMilliseconds(), 1000) << "the event loop stood still";
        EXPECT_TRUE(elapsed.elapsed() >= atLeast && elapsed.elapsed() < 6000) << elapsed.elapsed();
    }
}

// One server per session bus: a second start ends quietly; a client that lost its server
// hears of no other, and without one gets no answer at once.
TEST_F(Conversation, OneServerAndWithoutItNoAnswerAtOnce) {
    const QString owner = conversationOwner();
    PdfServerProcess second;
    second.startServing(false);
    ASSERT_TRUE(second.waitForFinished(10000)) << "a second server stayed";
    EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    EXPECT_EQ(conversationOwner(), owner);
    endServingProcess();
    DBusPdfPrintServer unanswered;
    QElapsedTimer elapsed;
    elapsed.start();
    expectFailure([&] { unanswered.connect(); }, ErrorNumber::ConversationNoAnswer);
    EXPECT_LT(elapsed.elapsed(), 2000);
    expectFailure([&] { unanswered.openDocument("/x.pdf", std::nullopt); },
                  ErrorNumber::ConversationNotOpen);
    PdfServerProcess successor;
    successor.startServing();
    const QString path = corpusFile("pdf/rotation.pdf");
    expectFailure([&] { client.openDocument(path, std::nullopt); },
                  DBusPdfPrintServer::ServerQuitError);
    client.connect();
    client.openDocument(path, std::nullopt);
    client.printDocument(path, PrintTimeout);
    newJobs(1);
}

// A server ends with its session bus; without one it gives up saying why, and a client has
// no answer at once.
TEST(ServerLifecycle, LivesAndEndsWithItsSessionBus) {
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(bus.waitForReadyRead(10000)) << "no private bus";
    PdfServerProcess server(60, QString::fromUtf8(bus.readLine()).trimmed());
    server.startServing(false);
    QTest::qWait(500);
    EXPECT_EQ(server.state(), QProcess::Running);
    bus.kill();
    EXPECT_TRUE(server.waitForFinished(10000)) << "the server outlived its bus";

    const QString nowhere = "unix:path=/nonexistent/bus";
    PdfServerProcess orphan(60, nowhere);
    orphan.setProcessChannelMode(QProcess::SeparateChannels);
    orphan.startServing(false);
    ASSERT_TRUE(orphan.waitForFinished(10000));
    EXPECT_EQ(orphan.exitCode(), 1);
    EXPECT_TRUE(orphan.readAllStandardError().contains("no D-Bus session bus"));
    DBusPdfPrintServer client(QDBusConnection::connectToBus(nowhere, "nowhere"));
    QElapsedTimer elapsed;
    elapsed.start();
    expectFailure([&] { client.connect(); }, ErrorNumber::ConversationNoAnswer,
                  "no D-Bus session bus");
    EXPECT_LT(elapsed.elapsed(), 5000);
}

} // namespace
} // namespace qp::test
