// The client of the PDF print server against the real server on the test run's session bus,
// printing into a private CUPS server whose queue keeps every job as a file.

#include "PdfServerHarness.h"
#include "platform/dbus/ConversationAddress.h"
#include "platform/dbus/DBusPdfPrintServer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <signal.h>
#include <sys/stat.h>

namespace qp::test {
namespace {

using namespace std::chrono_literals;
constexpr auto PrintTimeout = 2000s;

class ConversationTest : public KeptJobsTest {
protected:
    void SetUp() override {
        KeptJobsTest::SetUp();
        server.startServing();
    }
    void printDocument(const QString& path) {
        client.openDocument(path, std::nullopt);
        client.printDocument(path, PrintTimeout);
    }
    // A command the client never sends, put on the bus as it is: the server refuses it.
    static void expectRefusalOfRaw(const QString& command, const QString& says) {
        const auto address = dbus::conversationAddress("AcroView", "Control");
        QDBusMessage call = QDBusMessage::createMethodCall(address.service, address.path,
                                                           address.interface, dbus::executeMethod);
        call << command;
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
        EXPECT_EQ(reply.errorName(), dbus::refusedErrorName);
        EXPECT_TRUE(reply.errorMessage().contains(says)) << reply.errorMessage().toStdString();
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
        expectFailure([&] { client.openDocument(corpusPdf("rotation.pdf"), timeout); }, number,
                      words);
        const qint64 took = elapsed.elapsed();
        server.signal(SIGCONT);
        EXPECT_GE(ticks, 5) << "the event loop stood still for " << took << " ms";
        return took;
    }

    PdfServerProcess server;
    DBusPdfPrintServer client;
};

TEST_F(ConversationTest, DocumentsArriveIntactAsOneJobEachInTheOrderSent) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString odd = corpusPdf("vertical.pdf");
    QStringList sent = {corpusPdf("rotation.pdf")};
    for (const QString& name :
         {"two  blanks and [brackets] (round), commas.pdf",
          "Übersicht – Größe, Straße/Çà et là ñ.pdf", "中文 ファイル/日本語.PDF",
          // Taken apart by position, not by searching for the end.
          "ends early\")] in the middle.pdf"}) {
        sent << dir.filePath(name);
        copyFile(odd, sent.last());
    }
    sent << corpusPdf("sizes.pdf");

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

TEST_F(ConversationTest, RefusedCommandsCarryTheServersMessageAndSpoilNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = corpusPdf("rotation.pdf");
    const QString gone = dir.filePath("gone.pdf"), garbage = dir.filePath("garbage.pdf");
    const QString empty = dir.filePath("empty.pdf"), pipe = dir.filePath("pipe.pdf");
    const QString folder = dir.filePath("folder.pdf"), missing = "/no/such/folder/x.pdf";
    copyFile(good, gone);
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'x')) == 4096);
    file.close();
    QFile(empty).open(QIODevice::WriteOnly);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(folder));

    client.connect();
    client.openDocument(gone, std::nullopt);
    expectRefusalOfRaw("[AppExit()]", "does not understand the command [AppExit()]");
    expectRefusalOfRaw(QStringLiteral("[DocOpen(%1)]").arg(good), "does not understand");
    // What lies in the document comes as "cannot be bound"; the rest is the server's refusal.
    constexpr long refused = ErrorNumber::ConversationRefused;
    constexpr long unusable = ErrorNumber::CannotBind;
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

    // Anything but the one method with its one text argument is refused by D-Bus itself.
    const auto address = dbus::conversationAddress("AcroView", "Control");
    const auto call = [&](const QString& method) {
        return QDBusMessage::createMethodCall(address.service, address.path, address.interface,
                                              method);
    };
    for (const QDBusMessage& wrong : {call(dbus::executeMethod) << 42, call("Print") << good})
        EXPECT_EQ(QDBusConnection::sessionBus().call(wrong).errorName(),
                  "org.freedesktop.DBus.Error.UnknownMethod");

    // Without a default printer the opened document waits until there is one.
    cups->clearDefault();
    client.openDocument(good, std::nullopt);
    expectFailure([&] { client.printDocument(good, PrintTimeout); },
                  ErrorNumber::ConversationRefused, "no default printer");
    EXPECT_EQ(cups->jobFiles(queue).size(), jobsBefore);
    cups->setDefault(queue);
    client.printDocument(good, PrintTimeout);
    EXPECT_EQ(newJobs(1).size(), 1);
}

TEST_F(ConversationTest, CorpusPdfsPrintWithTheirPagesOrAreRefusedClearly) {
    client.connect();
    int printed = 0;
    for (const CorpusPdf& pdf : corpusPdfs()) {
        SCOPED_TRACE(pdf.path.toStdString());
        if (pdf.needsPassword) {
            expectFailure([&] { client.openDocument(pdf.path, std::nullopt); },
                          ErrorNumber::CannotBind, "password");
            continue;
        }
        client.openDocument(pdf.path, std::nullopt);
        if (!pdf.printingAllowed) {
            expectFailure([&] { client.printDocument(pdf.path, PrintTimeout); },
                          ErrorNumber::CannotBind, "does not allow printing");
            continue;
        }
        client.printDocument(pdf.path, PrintTimeout);
        const QStringList jobs = newJobs(++printed);
        ASSERT_EQ(jobs.size(), printed);
        EXPECT_EQ(pdfPageCount(jobs.last()), pdf.pages);
    }
    EXPECT_EQ(printed, 13);
}

TEST_F(ConversationTest, UnansweredCommandTimesOutOrFailsAtOnceWhenTheServerDies) {
    client.connect();
    const qint64 slow = unansweredCommand(1500ms, ErrorNumber::ConversationTimeout, "1.5 seconds");
    EXPECT_GE(slow, 1400);
    EXPECT_LT(slow, 6000);

    QTimer::singleShot(500, [this] { server.signal(SIGKILL); });
    EXPECT_LT(unansweredCommand(20s, DBusPdfPrintServer::ServerQuitError, "AcroView|Control"),
              10000)
        << "waited for the time-out instead";
}

TEST_F(ConversationTest, WithoutServerNoAnswerAtOnceAndAfterItNoOtherServer) {
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
    const QString path = corpusPdf("rotation.pdf");
    expectFailure([&] { client.openDocument(path, std::nullopt); },
                  DBusPdfPrintServer::ServerQuitError);
    client.connect();
    printDocument(path);
    EXPECT_EQ(newJobs(1).size(), 1);
}

} // namespace
} // namespace qp::test
