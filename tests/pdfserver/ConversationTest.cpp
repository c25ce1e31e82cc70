// The conversation adapter against the real PDF print server on the test run's session bus,
// printing into a private CUPS server whose queue keeps every job as a file.

#include "PdfServerHarness.h"
#include "platform/dbus/ConversationAddress.h"
#include "platform/dbus/DBusConversation.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <signal.h>

namespace qp::test {
namespace {

QString openCommand(const QString& path) {
    return QStringLiteral("[DocOpen(\"%1\")]").arg(path);
}
QString printCommand(const QString& path) {
    return QStringLiteral("[FilePrintSilent(\"%1\")]").arg(path);
}

class ConversationTest : public KeptJobsTest {
protected:
    void SetUp() override {
        KeptJobsTest::SetUp();
        server.start();
    }
    void openConversation() {
        conversation.open(QStringLiteral("AcroView"), QStringLiteral("Control"), QString());
    }
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
        const QString command = openCommand(corpusPdf(QStringLiteral("rotation.pdf")));
        expectFailure([&] { conversation.execute(command, timeoutTenths); }, number, words);
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
    const QString odd = corpusPdf(QStringLiteral("vertical.pdf"));
    QStringList sent = {corpusPdf(QStringLiteral("rotation.pdf"))};
    for (const QString& name : {QStringLiteral("two  blanks and [brackets] (round), commas.pdf"),
                                QStringLiteral("Übersicht – Größe, Straße/Çà et là ñ.pdf"),
                                QStringLiteral("中文 ファイル/日本語.PDF"),
                                // Taken apart by position, not by searching for the end.
                                QStringLiteral("ends early\")] in the middle.pdf")}) {
        sent << dir.filePath(name);
        copyFile(odd, sent.last());
    }
    sent << corpusPdf(QStringLiteral("sizes.pdf"));

    openConversation();
    EXPECT_TRUE(conversation.isOpen());
    for (const QString& path : sent)
        printDocument(path);
    conversation.close();
    EXPECT_FALSE(conversation.isOpen());

    const QStringList jobs = newJobs(sent.size());
    ASSERT_EQ(jobs.size(), sent.size());
    for (int i = 0; i < jobs.size(); ++i)
        EXPECT_EQ(fileBytes(jobs[i]), fileBytes(sent[i])) << sent[i].toStdString();
}

TEST_F(ConversationTest, RefusedCommandsCarryTheServersMessageAndSpoilNothing) {
    const QString good = corpusPdf(QStringLiteral("rotation.pdf"));
    openConversation();
    const struct {
        QString command;
        QString says;
    } cases[] = {
        {QStringLiteral("[AppExit()]"),
         QStringLiteral("does not understand the command [AppExit()]")},
        {QStringLiteral("[DocOpen(%1)]").arg(good), QStringLiteral("does not understand")},
        {printCommand(good), QStringLiteral("has not been opened")},
        {openCommand(QStringLiteral("/no/such/folder/x.pdf")),
         QStringLiteral("Cannot open /no/such/folder/x.pdf: the file does not exist.")},
        {openCommand(QStringLiteral("relative.pdf")), QStringLiteral("must be absolute")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        expectFailure([&] { conversation.execute(c.command, 100); },
                      ErrorNumber::ConversationRefused, c.says);
    }

    // Anything but the one method with its one text argument is refused by D-Bus itself.
    const auto address =
        dbus::conversationAddress(QStringLiteral("AcroView"), QStringLiteral("Control"));
    const auto call = [&](const QString& method) {
        return QDBusMessage::createMethodCall(address.service, address.path, address.interface,
                                              method);
    };
    for (const QDBusMessage& wrong :
         {call(dbus::executeMethod) << 42, call(QStringLiteral("Print")) << good})
        EXPECT_EQ(QDBusConnection::sessionBus().call(wrong).errorName(),
                  QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));

    // Without a default printer the opened document waits until there is one.
    cups->clearDefault();
    conversation.execute(openCommand(good), -1);
    expectFailure([&] { conversation.execute(printCommand(good), 20000); },
                  ErrorNumber::ConversationRefused, QStringLiteral("no default printer"));
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
                          ErrorNumber::ConversationRefused, QStringLiteral("password"));
            continue;
        }
        conversation.execute(openCommand(pdf.path), -1);
        if (!pdf.printingAllowed) {
            expectFailure([&] { conversation.execute(printCommand(pdf.path), 20000); },
                          ErrorNumber::ConversationRefused,
                          QStringLiteral("does not allow printing"));
            continue;
        }
        conversation.execute(printCommand(pdf.path), 20000);
        const QStringList jobs = newJobs(++printed);
        ASSERT_EQ(jobs.size(), printed);
        EXPECT_EQ(pdfPageCount(jobs.last()), pdf.pages);
    }
    EXPECT_EQ(printed, 13);
}

TEST_F(ConversationTest, ConversationStaysWithTheServerItWasOpenedWith) {
    openConversation();
    endServingProcess();
    PdfServerProcess successor;
    successor.start();
    const QString path = corpusPdf(QStringLiteral("rotation.pdf"));
    expectFailure([&] { conversation.execute(openCommand(path), -1); },
                  DBusConversation::ServerQuitError);

    // Opened again, it reaches the new server.
    openConversation();
    printDocument(path);
    EXPECT_EQ(newJobs(1).size(), 1);
}

TEST_F(ConversationTest, ServerKilledDuringACommandFailsItAtOnce) {
    openConversation();
    QTimer::singleShot(500, [this] { server.signal(SIGKILL); });
    EXPECT_LT(unansweredCommand(200, DBusConversation::ServerQuitError,
                                QStringLiteral("AcroView|Control")),
              10000)
        << "waited for the time-out instead";
}

TEST_F(ConversationTest, SlowCommandTimesOutWhileTheEventLoopRuns) {
    openConversation();
    const qint64 took =
        unansweredCommand(15, ErrorNumber::ConversationTimeout, QStringLiteral("1.5 seconds"));
    EXPECT_GE(took, 1400);
    EXPECT_LT(took, 6000);
}

TEST_F(ConversationTest, NoServerIsNoAnswerAtOnce) {
    endServingProcess();
    QElapsedTimer elapsed;
    elapsed.start();
    expectFailure([&] { openConversation(); }, ErrorNumber::ConversationNoAnswer);
    EXPECT_LT(elapsed.elapsed(), 2000);
    EXPECT_FALSE(conversation.isOpen());
    expectFailure([&] { conversation.execute(QStringLiteral("[x]"), -1); },
                  DBusConversation::NotOpenError);
}

} // namespace
} // namespace qp::test
