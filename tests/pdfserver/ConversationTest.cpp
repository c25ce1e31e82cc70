// The conversation adapter against the real PDF print server on the test run's session bus,
// printing into a private CUPS server whose queue keeps every job as a file.

#include "PdfServerHarness.h"
#include "platform/dbus/ConversationAddress.h"
#include "platform/dbus/DBusConversation.h"

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

class ConversationTest : public KeptJobsTest {
protected:
    void SetUp() override {
        KeptJobsTest::SetUp();
        server.startServing();
    }
    void openConversation() { conversation.open("AcroView", "Control", QString()); }
    void printDocument(const QString& path) {
        conversation.execute(openCommand(path), -1);
        conversation.execute(printCommand(path), 20000);
    }
    // A command the stopped server leaves unanswered; timers, and so repainting, must go on
    // meanwhile. Returns how long the command took.
    qint64 unansweredCommand(int timeoutTenths, long number, const QString& words) {
        server.signal(SIGSTOP);
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(50);
        QElapsedTimer elapsed;
        elapsed.start();
        expectFailure(
            [&] { conversation.execute(openCommand(corpusPdf("rotation.pdf")), timeoutTenths); },
            number, words);
        const qint64 took = elapsed.elapsed();
        server.signal(SIGCONT);
        EXPECT_GE(ticks, 5) << "the event loop stood still for " << took << " ms";
        return took;
    }

    PdfServerProcess server;
    DBusConversation conversation;
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

    openConversation();
    EXPECT_TRUE(conversation.isOpen());
    for (const QString& path : sent)
        printDocument(path);
    // Printed again without opening it again: one more job.
    conversation.execute(printCommand(sent.last()), 20000);
    sent << sent.last();
    conversation.close();
    EXPECT_FALSE(conversation.isOpen());

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

    openConversation();
    conversation.execute(openCommand(gone), -1);
    // What lies in the document comes as "cannot be bound"; the rest is the server's refusal.
    constexpr long refused = ErrorNumber::ConversationRefused;
    constexpr long unusable = ErrorNumber::CannotBind;
    const struct {
        QString command;
        long number;
        QString says;
    } cases[] = {
        {"[AppExit()]", refused, "does not understand the command [AppExit()]"},
        {QStringLiteral("[DocOpen(%1)]").arg(good), refused, "does not understand"},
        // Opening another document does not open this one.
        {printCommand(good), refused,
         "Cannot print " + good + ": the document has not been opened"},
        {openCommand(missing), unusable, "Cannot open " + missing + ": the file does not exist."},
        {printCommand(missing), refused, "has not been opened"},
        {openCommand("relative.pdf"), unusable, "must be absolute"},
        {openCommand(garbage), unusable,
         "Cannot open " + garbage + ": it is not a PDF document or it is damaged"},
        {openCommand(empty), unusable, "Cannot open " + empty + ": it is not a PDF"},
        // A pipe would block the server until someone writes into it.
        {openCommand(pipe), unusable, "Cannot open " + pipe + ": it is not a file."},
        {openCommand(folder), unusable, "Cannot open " + folder + ": it is not a file."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        expectFailure([&] { conversation.execute(c.command, 100); }, c.number, c.says);
    }
    // Printing looks at the document again: it may have gone since it was opened.
    QFile::remove(gone);
    expectFailure([&] { conversation.execute(printCommand(gone), 100); }, unusable,
                  "Cannot open " + gone);

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
    conversation.execute(openCommand(good), -1);
    expectFailure([&] { conversation.execute(printCommand(good), 20000); },
                  ErrorNumber::ConversationRefused, "no default printer");
    EXPECT_EQ(cups->jobFiles(queue).size(), jobsBefore);
    cups->setDefault(queue);
    conversation.execute(printCommand(good), 20000);
    EXPECT_EQ(newJobs(1).size(), 1);
}

TEST_F(ConversationTest, CorpusPdfsPrintWithTheirPagesOrAreRefusedClearly) {
    openConversation();
    int printed = 0;
    for (const CorpusPdf& pdf : corpusPdfs()) {
        SCOPED_TRACE(pdf.path.toStdString());
        if (pdf.needsPassword) {
            expectFailure([&] { conversation.execute(openCommand(pdf.path), -1); },
                          ErrorNumber::CannotBind, "password");
            continue;
        }
        conversation.execute(openCommand(pdf.path), -1);
        if (!pdf.printingAllowed) {
            expectFailure([&] { conversation.execute(printCommand(pdf.path), 20000); },
                          ErrorNumber::CannotBind, "does not allow printing");
            continue;
        }
        conversation.execute(printCommand(pdf.path), 20000);
        const QStringList jobs = newJobs(++printed);
        ASSERT_EQ(jobs.size(), printed);
        EXPECT_EQ(pdfPageCount(jobs.last()), pdf.pages);
    }
    EXPECT_EQ(printed, 13);
}

TEST_F(ConversationTest, UnansweredCommandTimesOutOrFailsAtOnceWhenTheServerDies) {
    openConversation();
    const qint64 slow = unansweredCommand(15, ErrorNumber::ConversationTimeout, "1.5 seconds");
    EXPECT_GE(slow, 1400);
    EXPECT_LT(slow, 6000);

    QTimer::singleShot(500, [this] { server.signal(SIGKILL); });
    EXPECT_LT(unansweredCommand(200, DBusConversation::ServerQuitError, "AcroView|Control"), 10000)
        << "waited for the time-out instead";
}

TEST_F(ConversationTest, WithoutServerNoAnswerAtOnceAndAfterItNoOtherServer) {
    openConversation();
    endServingProcess();
    DBusConversation unanswered;
    QElapsedTimer elapsed;
    elapsed.start();
    expectFailure([&] { unanswered.open("AcroView", "Control", {}); },
                  ErrorNumber::ConversationNoAnswer);
    EXPECT_LT(elapsed.elapsed(), 2000);
    EXPECT_FALSE(unanswered.isOpen());
    expectFailure([&] { unanswered.execute("[x]", -1); }, DBusConversation::NotOpenError);

    // The conversation stays with the server it was opened with, not its successor.
    PdfServerProcess successor;
    successor.startServing();
    const QString path = corpusPdf("rotation.pdf");
    expectFailure([&] { conversation.execute(openCommand(path), -1); },
                  DBusConversation::ServerQuitError);
    openConversation();
    printDocument(path);
    EXPECT_EQ(newJobs(1).size(), 1);
}

} // namespace
} // namespace qp::test
