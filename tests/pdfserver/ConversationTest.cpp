// The real PDF print server on the test run's session bus, alone and with the program's
// client, printing into a private CUPS server whose queue keeps every job as a file.

#include "PdfServerHarness.h"
#include "platform/dbus/ConversationAddress.h"
#include "platform/dbus/DBusPdfPrintServer.h"

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

class Conversation : public KeptJobsTest {
protected:
    void SetUp() override {
        KeptJobsTest::SetUp();
        server.startServing();
    }
    void printDocument(const QString& path) {
        client.openDocument(path, std::nullopt);
        client.printDocument(path, PrintTimeout);
    }
    // A command the stopped server leaves unanswered; timers, and so repainting, must go on
    // meanwhile. Returns how long the command took.
    qint64 unansweredCommand(std::chrono::milliseconds timeout, long number, const QString& words) {
        server.signal(SIGSTOP);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        QElapsedTimer elapsed;
        elapsed.start();
        expectFailure([&] { client.openDocument(corpusFile("pdf/rotation.pdf"), timeout); }, number,
                      words);
        server.signal(SIGCONT);
        EXPECT_GE(ticks, 5) << "the event loop stood still for " << elapsed.elapsed() << " ms";
        return elapsed.elapsed();
    }

    QTemporaryDir dir;
    PdfServerProcess server;
    DBusPdfPrintServer client;
};

TEST_F(Conversation, DocumentsArriveIntactAsOneJobEachInTheOrderSent) {
    QStringList sent = {corpusFile("pdf/rotation.pdf")};
    for (const char* name : {"two  blanks and [brackets] (round), commas.pdf",
                             "Übersicht – Größe, Straße/Çà et là ñ.pdf", "中文 ファイル/日本語.PDF",
                             // Taken apart by position, not by searching for the end.
                             "ends early\")] in the middle.pdf"}) {
        sent << dir.filePath(QString::fromUtf8(name));
        QDir().mkpath(QFileInfo(sent.last()).path());
        ASSERT_TRUE(QFile::copy(corpusFile("pdf/vertical.pdf"), sent.last()));
    }
    sent << corpusFile("pdf/sizes.pdf");
    client.connect();
    EXPECT_TRUE(client.isConnected());
    for (const QString& path : sent)
        printDocument(path);
    // Printed again without opening it again: one more job.
    client.printDocument(sent.last(), PrintTimeout);
    sent << sent.last();
    client.disconnect();
    EXPECT_FALSE(client.isConnected());
    const QStringList jobs = newJobs(sent.size());
    ASSERT_EQ(jobs.size(), sent.size());
    for (int i = 0; i < jobs.size(); ++i)
        EXPECT_EQ(fileBytes(jobs[i]), fileBytes(sent[i])) << sent[i].toStdString();
}

TEST_F(Conversation, RefusedCommandsCarryTheServersMessageAndSpoilNothing) {
    const QString good = corpusFile("pdf/rotation.pdf"), gone = dir.filePath("gone.pdf");
    const QString garbage = dir.filePath("garbage.pdf"), empty = dir.filePath("empty.pdf");
    const QString pipe = dir.filePath("pipe.pdf"), folder = dir.filePath("folder.pdf");
    const QString missing = "/no/such/folder/x.pdf";
    ASSERT_TRUE(QFile::copy(good, gone));
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'x')) == 4096);
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.print ? "print " : "open ") + c.path.toStdString());
        expectFailure(
            [&] { c.print ? client.printDocument(c.path, 10s) : client.openDocument(c.path, 10s); },
            c.number, c.says);
    }
    // Printing looks at the document again: it may have gone since it was opened.
    QFile::remove(gone);
    expectFailure([&] { client.printDocument(gone, 10s); }, unusable, "Cannot open " + gone);

    // Without a default printer the opened document waits until there is one.
    cups->clearDefault();
    client.openDocument(good, std::nullopt);
    expectFailure([&] { client.printDocument(good, PrintTimeout); }, refused, "no default printer");
    EXPECT_EQ(cups->jobFiles(queue).size(), jobsBefore);
    cups->setDefault(queue);
    client.printDocument(good, PrintTimeout);
    EXPECT_EQ(newJobs(1).size(), 1);
}

TEST_F(Conversation, CorpusPdfsPrintWithTheirPagesOrAreRefusedClearly) {
    client.connect();
    int printed = 0, refused = 0;
    for (const CorpusDocument& pdf : corpus()) {
        if (pdf.kind != "pdf")
            continue;
        SCOPED_TRACE(pdf.path.toStdString());
        if (pdf.locked) {
            expectFailure([&] { client.openDocument(pdf.path, std::nullopt); },
                          ErrorNumber::CannotBind, "password");
            ++refused;
            continue;
        }
        client.openDocument(pdf.path, std::nullopt);
        if (!pdf.printable) {
            expectFailure([&] { client.printDocument(pdf.path, PrintTimeout); },
                          ErrorNumber::CannotBind, "does not allow printing");
            ++refused;
            continue;
        }
        client.printDocument(pdf.path, PrintTimeout);
        const QStringList jobs = newJobs(++printed);
        ASSERT_EQ(jobs.size(), printed);
        EXPECT_EQ(pdfPages(jobs.last()), pdf.pages);
    }
    EXPECT_EQ(printed, 13);
    EXPECT_EQ(refused, 2);
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

TEST_F(Conversation, WithoutServerNoAnswerAtOnceAndAfterItNoOtherServer) {
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

    // The connection stays with the server it was made with, not its successor.
    PdfServerProcess successor;
    successor.startServing();
    const QString path = corpusFile("pdf/rotation.pdf");
    expectFailure([&] { client.openDocument(path, std::nullopt); },
                  DBusPdfPrintServer::ServerQuitError);
    client.connect();
    printDocument(path);
    EXPECT_EQ(newJobs(1).size(), 1);
}

// One server per session bus, an end after a quiet while, and not beyond its bus.
TEST(ServerLifecycle, SecondStartWhileOneServesEndsQuietly) {
    PdfServerProcess first, second;
    first.startServing();
    const QString owner = conversationOwner();
    second.startServing(false);
    ASSERT_TRUE(second.waitForFinished(10000)) << "a second server stayed";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(conversationOwner(), owner);
    EXPECT_EQ(first.state(), QProcess::Running);
}

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
    EXPECT_EQ(server.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server.exitCode(), 0);
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
