// The real PDF print server on the test run's session bus, alone and with the program's
// client, printing into a private CUPS server whose queue keeps every job as a file.

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
const auto address = dbus::conversationAddress("AcroView", "Control");

// A call put on the bus as it is, as the client never sends it.
QDBusMessage rawCall(const QString& method, const QVariant& argument) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(address.service, address.path, address.interface, method);
    return QDBusConnection::sessionBus().call(call << argument, QDBus::Block, 10000);
}

class Conversation : public ServingTest {
protected:
    void SetUp() override {
        KeptJobsTest::SetUp();
        server.startServing();
    }
    // A command the stopped server leaves unanswered; timers, and so repainting, must go on
    // meanwhile. Returns how long the command took.
    qint64 unansweredCommand(std::chrono::milliseconds timeout, long number, const QString& words) {
        server.signal(SIGSTOP);
        EventGapProbe probe;
        QElapsedTimer elapsed;
        elapsed.start();
        expectFailure([&] { client.openDocument(corpusFile("pdf/rotation.pdf"), timeout); }, number,
                      words);
        server.signal(SIGCONT);
        EXPECT_LT(probe.longestMilliseconds(), 1000) << "the event loop stood still";
        return elapsed.elapsed();
    }

    QTemporaryDir dir;
    PdfServerProcess server;
    DBusPdfPrintServer client;
};

// The corpus PDFs, and one under names a command could trip over, arrive as sent: intact,
// one job each, in order; those that need a password or forbid printing are refused clearly.
TEST_F(Conversation, DocumentsArriveIntactInOrderOrAreRefusedClearly) {
    std::vector<CorpusDocument> sent;
    for (const CorpusDocument& pdf : corpus())
        if (pdf.kind == "pdf")
            sent.push_back(pdf);
    ASSERT_EQ(sent.size(), 15u) << "the corpus is missing or incomplete at QP_CORPUS_DIR";
    for (const char* name : {"two  blanks and [brackets] (round), commas.pdf",
                             "Übersicht – Größe, Straße/Çà et là ñ.pdf", "中文 ファイル/日本語.PDF",
                             // Taken apart by position, not by searching for the end.
                             "ends early\")] in the middle.pdf"}) {
        sent.push_back({"pdf", dir.filePath(QString::fromUtf8(name))});
        QDir().mkpath(QFileInfo(sent.back().path).path());
        ASSERT_TRUE(QFile::copy(corpusFile("pdf/vertical.pdf"), sent.back().path));
    }
    client.connect();
    EXPECT_TRUE(client.isConnected());
    QStringList printed;
    for (const CorpusDocument& pdf : sent) {
        SCOPED_TRACE(pdf.path.toStdString());
        if (pdf.locked) {
            expectFailure([&] { client.openDocument(pdf.path, std::nullopt); },
                          ErrorNumber::CannotBind, "password");
            continue;
        }
        client.openDocument(pdf.path, std::nullopt);
        if (!pdf.printable) {
            expectFailure([&] { client.printDocument(pdf.path, PrintTimeout); },
                          ErrorNumber::CannotBind, "does not allow printing");
            continue;
        }
        client.printDocument(pdf.path, PrintTimeout);
        printed << pdf.path;
    }
    // Printed again without opening it again: one more job.
    client.printDocument(printed.last(), PrintTimeout);
    printed << printed.last();
    client.disconnect();
    EXPECT_FALSE(client.isConnected());
    const QStringList jobs = newJobs(printed.size());
    ASSERT_EQ(jobs.size(), 13 + 4 + 1);
    for (int i = 0; i < jobs.size(); ++i)
        EXPECT_EQ(fileBytes(jobs[i]), fileBytes(printed[i])) << printed[i].toStdString();
}

TEST_F(Conversation, RefusedCommandsCarryTheServersMessageAndSpoilNothing) {
    const QString good = corpusFile("pdf/rotation.pdf"), gone = dir.filePath("gone.pdf");
    const QString garbage = dir.filePath("garbage.pdf"), empty = dir.filePath("empty.pdf");
    const QString pipe = dir.filePath("pipe.pdf"), folder = dir.filePath("folder.pdf");
    const QString missing = "/no/such/folder/x.pdf";
    ASSERT_TRUE(QFile::copy(good, gone) && QFile::copy(corpusFile("MANIFEST.tsv"), garbage));
    QFile(empty).open(QIODevice::WriteOnly);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(folder));

    client.connect();
    client.openDocument(gone, std::nullopt);
    for (const QString& command : {QString("[AppExit()]"), "[DocOpen(" + good + ")]"}) {
        const QDBusMessage reply = rawCall(dbus::executeMethod, command);
        EXPECT_EQ(reply.errorName(), dbus::refusedErrorName);
        EXPECT_TRUE(reply.errorMessage().contains("does not understand the command " + command))
            << reply.errorMessage().toStdString();
    }
    // Anything but the one method with its one text argument is refused by D-Bus itself.
    EXPECT_EQ(rawCall(dbus::executeMethod, 42).errorName(),
              "org.freedesktop.DBus.Error.UnknownMethod");
    EXPECT_EQ(rawCall("Print", good).errorName(), "org.freedesktop.DBus.Error.UnknownMethod");

    // What lies in the document comes as "cannot be bound"; the rest is the server's refusal.
    constexpr long refused = ErrorNumber::ConversationRefused, unusable = ErrorNumber::CannotBind;
    const struct {
        bool print; // else open
        QString path;
        long number;
        QString says;
    } cases[] = {
        // Opening another document does not open this one.
        {true, good, refused, "Cannot print " + good + ": the document has not been opened"},
        {false, missing, unusable, "Cannot open " + missing + ": the file does not exist."},
        {true, missing, refused, "has not been opened"},
        {false, "relative.pdf", unusable, "must be absolute"},
        {false, garbage, unusable,
         "Cannot open " + garbage + ": it is not a PDF document or it is damaged"},
        {false, empty, unusable, "Cannot open " + empty + ": it is not a PDF"},
        // A pipe would block the server until someone writes into it.
        {false, pipe, unusable, "Cannot open " + pipe + ": it is not a file."},
        {false, folder, unusable, "Cannot open " + folder + ": it is not a file."},
        // Printing looks at the document again: it may have gone since it was opened.
        {true, gone, unusable, "Cannot open " + gone},
    };
    QFile::remove(gone);
    for (const auto& c : cases) {
        SCOPED_TRACE((c.print ? "print " : "open ") + c.path.toStdString());
        expectFailure(
            [&] { c.print ? client.printDocument(c.path, 10s) : client.openDocument(c.path, 10s); },
            c.number, c.says);
    }

    // Without a default printer the opened document waits until there is one.
    cups->clearDefault();
    client.openDocument(good, std::nullopt);
    expectFailure([&] { client.printDocument(good, PrintTimeout); }, refused, "no default printer");
    newJobs(0);
    cups->setDefault(queue);
    client.printDocument(good, PrintTimeout);
    newJobs(1);
}

TEST_F(Conversation, UnansweredCommandTimesOutOrFailsAtOnceWhenTheServerDies) {
    client.connect();
    const qint64 slow = unansweredCommand(1500ms, ErrorNumber::ConversationTimeout, "1.5 seconds");
    EXPECT_GE(slow, 1400);
    EXPECT_LT(slow, 6000);
    QTimer::singleShot(500, [this] { server.signal(SIGKILL); });
    EXPECT_LT(unansweredCommand(20s, DBusPdfPrintServer::ServerQuitError, "AcroView|Control"),
              10000)
        << "waited for the time-out instead";
}

// One server per session bus: a second start ends quietly, a client that lost its server
// hears of no other.
TEST_F(Conversation, OneServerAndWithoutItNoAnswerAtOnce) {
    const QString owner = conversationOwner();
    PdfServerProcess second;
    second.startServing(false);
    ASSERT_TRUE(second.waitForFinished(10000)) << "a second server stayed";
    EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    EXPECT_EQ(conversationOwner(), owner);
    client.connect();
    endServingProcess();
    DBusPdfPrintServer unanswered;
    QElapsedTimer elapsed;
    elapsed.start();
    expectFailure([&] { unanswered.connect(); }, ErrorNumber::ConversationNoAnswer);
    EXPECT_LT(elapsed.elapsed(), 2000);
    EXPECT_FALSE(unanswered.isConnected());
    expectFailure([&] { unanswered.openDocument("/x.pdf", std::nullopt); },
                  DBusPdfPrintServer::NotConnectedError);

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

// An end after a quiet while, and not beyond its bus.
TEST(ServerLifecycle, EndsAfterAQuietWhileThatEachCommandExtends) {
    PdfServerProcess server(1.5);
    server.startServing();
    QTest::qWait(1000);
    DBusPdfPrintServer client;
    client.connect();
    // Even a refused command is a conversation that keeps the server.
    EXPECT_THROW(client.openDocument("/no/such/folder/x.pdf", std::nullopt), AppError);
    QElapsedTimer sinceCommand;
    sinceCommand.start();
    QTest::qWait(1000);
    EXPECT_EQ(server.state(), QProcess::Running) << "it ended despite the command";
    ASSERT_TRUE(server.waitForFinished(8000)) << "the server did not end when idle";
    EXPECT_GE(sinceCommand.elapsed(), 1400);
    EXPECT_TRUE(server.exitStatus() == QProcess::NormalExit && server.exitCode() == 0);
    EXPECT_TRUE(waitForConversationOwner(false, 2000));
}

TEST(ServerLifecycle, EndsWhenItsSessionBusGoesAway) {
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(bus.waitForReadyRead(10000)) << "no private bus";
    PdfServerProcess server(60, QString::fromUtf8(bus.readLine()).trimmed());
    server.startServing(false);
    QTest::qWait(500);
    EXPECT_EQ(server.state(), QProcess::Running);
    bus.kill();
    bus.waitForFinished(5000);
    EXPECT_TRUE(server.waitForFinished(10000)) << "the server outlived its bus";
}

} // namespace
} // namespace qp::test
