// The conversation adapter against the real PDF print server on the test run's session bus,
// printing into a private CUPS server whose queue keeps every job as a file.

#include "CorpusManifest.h"
#include "PdfServerHarness.h"
#include "PrintedJobs.h"
#include "core/AppError.h"
#include "platform/dbus/ConversationAddress.h"
#include "platform/dbus/DBusConversation.h"
#include "support/PrivateCups.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>
#include <signal.h>

namespace qp::test {
namespace {

const QString queue = QStringLiteral("keeper");

QString openCommand(const QString& path) {
    return QStringLiteral("[DocOpen(\"") + path + QStringLiteral("\")]");
}
QString printCommand(const QString& path) {
    return QStringLiteral("[FilePrintSilent(\"") + path + QStringLiteral("\")]");
}

std::optional<AppError> failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const AppError& error) {
        return error;
    }
    return std::nullopt;
}

class ConversationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        cups = new PrivateCups;
        cups->addKeepingQueue(queue, true);
    }
    static void TearDownTestSuite() {
        delete cups;
        cups = nullptr;
    }
    void SetUp() override {
        cups->setDefault(queue);
        jobsBefore = cups->jobFiles(queue).size();
        server.start();
    }
    void TearDown() override { endServingProcess(); }

    void openConversation() {
        conversation.open(QStringLiteral("AcroView"), QStringLiteral("Control"), QString());
    }
    // Opens and prints a document; the commands' failures are the test's failures.
    void printDocument(const QString& path) {
        conversation.execute(openCommand(path), -1);
        conversation.execute(printCommand(path), 20000);
    }
    QStringList newJobs(int expected) {
        EXPECT_TRUE(cups->waitForJobs(queue, jobsBefore + expected, 30000))
            << cups->log().toStdString();
        return cups->jobFiles(queue).mid(jobsBefore);
    }

    static PrivateCups* cups;
    int jobsBefore = 0;
    PdfServerProcess server;
    DBusConversation conversation;
};

PrivateCups* ConversationTest::cups = nullptr;

TEST_F(ConversationTest, DocumentsPrintAsOneJobEachInTheOrderSent) {
    const QString first = corpusPdf(QStringLiteral("rotation.pdf")).path;
    const QString second = corpusPdf(QStringLiteral("sizes.pdf")).path;
    openConversation();
    EXPECT_TRUE(conversation.isOpen());
    printDocument(first);
    printDocument(second);
    conversation.close();
    EXPECT_FALSE(conversation.isOpen());

    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[0]), fileBytes(first));
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(second));
}

TEST_F(ConversationTest, PathsWithBlanksBracketsCommasAndAccentsArriveIntact) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString source = corpusPdf(QStringLiteral("vertical.pdf")).path;
    const QStringList names = {
        QStringLiteral("two  blanks and [brackets] (round), commas.pdf"),
        QStringLiteral("Übersicht – Größe, Straße/Çà et là ñ.pdf"),
        QStringLiteral("中文 ファイル/日本語.PDF"),
        // Taken apart by position, not by searching for the closing characters.
        QStringLiteral("ends early\")] in the middle.pdf"),
    };
    openConversation();
    QStringList paths;
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        copyFile(source, path);
        paths << path;
        printDocument(path);
    }
    const QStringList jobs = newJobs(names.size());
    ASSERT_EQ(jobs.size(), names.size());
    for (const QString& job : jobs)
        EXPECT_EQ(fileBytes(job), fileBytes(source));
    // A mangled path would have been refused as a missing file; one look at a wrong file
    // would have shown as a wrong page count.
    EXPECT_EQ(pdfPageCount(jobs.last()), 3);
}

TEST_F(ConversationTest, RefusedCommandsCarryTheServersMessage) {
    const QString good = corpusPdf(QStringLiteral("rotation.pdf")).path;
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
        const auto error = failureOf([&] { conversation.execute(c.command, 100); });
        ASSERT_TRUE(error) << c.command.toStdString() << " was carried out";
        EXPECT_EQ(error->number(), ErrorNumber::ConversationRefused);
        EXPECT_TRUE(error->description().contains(c.says)) << error->description().toStdString();
    }
    // Refusals do not spoil the conversation.
    printDocument(good);
    EXPECT_EQ(newJobs(1).size(), 1);
}

TEST_F(ConversationTest, NoDefaultPrinterIsRefusedUntilThereIsOne) {
    const QString path = corpusPdf(QStringLiteral("habibi.pdf")).path;
    cups->clearDefault();
    openConversation();
    conversation.execute(openCommand(path), -1);
    const auto error = failureOf([&] { conversation.execute(printCommand(path), 20000); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ErrorNumber::ConversationRefused);
    EXPECT_TRUE(error->description().contains(QStringLiteral("no default printer")))
        << error->description().toStdString();
    EXPECT_EQ(cups->jobFiles(queue).size(), jobsBefore);

    cups->setDefault(queue);
    conversation.execute(printCommand(path), 20000);
    EXPECT_EQ(newJobs(1).size(), 1);
}

TEST_F(ConversationTest, CorpusPdfsPrintWithTheirPagesOrAreRefusedClearly) {
    openConversation();
    int printed = 0;
    for (const CorpusPdf& pdf : corpusPdfs()) {
        SCOPED_TRACE(pdf.path.toStdString());
        const auto openError = failureOf([&] { conversation.execute(openCommand(pdf.path), -1); });
        if (pdf.needsPassword) {
            ASSERT_TRUE(openError) << "a locked document was opened";
            EXPECT_EQ(openError->number(), ErrorNumber::ConversationRefused);
            EXPECT_TRUE(openError->description().contains(QStringLiteral("password")))
                << openError->description().toStdString();
            continue;
        }
        ASSERT_FALSE(openError) << openError->description().toStdString();
        const auto printError =
            failureOf([&] { conversation.execute(printCommand(pdf.path), 20000); });
        if (!pdf.printingAllowed) {
            ASSERT_TRUE(printError) << "a document that forbids printing was printed";
            EXPECT_TRUE(printError->description().contains(QStringLiteral("does not allow "
                                                                          "printing")))
                << printError->description().toStdString();
            continue;
        }
        ASSERT_FALSE(printError) << printError->description().toStdString();
        ++printed;
        const QStringList jobs = newJobs(printed);
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
    const QString path = corpusPdf(QStringLiteral("rotation.pdf")).path;
    const auto error = failureOf([&] { conversation.execute(openCommand(path), -1); });
    ASSERT_TRUE(error) << "the command reached a server the conversation was not opened with";
    EXPECT_EQ(error->number(), DBusConversation::ServerQuitError);

    // Opened again, it reaches the new server.
    openConversation();
    printDocument(path);
    EXPECT_EQ(newJobs(1).size(), 1);
}

TEST_F(ConversationTest, ServerKilledDuringACommandFailsItAtOnce) {
    openConversation();
    server.signal(SIGSTOP); // the command stays unanswered until the kill
    QTimer::singleShot(500, [this] { server.signal(SIGKILL); });
    QElapsedTimer elapsed;
    elapsed.start();
    const auto error = failureOf([&] {
        conversation.execute(openCommand(corpusPdf(QStringLiteral("rotation.pdf")).path), 20000);
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), DBusConversation::ServerQuitError);
    EXPECT_TRUE(error->description().contains(QStringLiteral("AcroView|Control")));
    EXPECT_LT(elapsed.elapsed(), 10000) << "waited for the time-out instead";
}

TEST_F(ConversationTest, SlowCommandTimesOutWhileTheEventLoopRuns) {
    openConversation();
    server.signal(SIGSTOP);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);
    QElapsedTimer elapsed;
    elapsed.start();
    const auto error = failureOf([&] {
        conversation.execute(openCommand(corpusPdf(QStringLiteral("rotation.pdf")).path), 15);
    });
    const qint64 took = elapsed.elapsed();
    ticker.stop();
    server.signal(SIGCONT);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ErrorNumber::ConversationTimeout);
    EXPECT_TRUE(error->description().contains(QStringLiteral("1.5 seconds")))
        << error->description().toStdString();
    EXPECT_GE(took, 1400);
    EXPECT_LT(took, 6000);
    // Timers (and so repainting) went on during the wait.
    EXPECT_GE(ticks, 10);
}

TEST_F(ConversationTest, ServerOffersOnlyItsOneMethod) {
    const auto address =
        dbus::conversationAddress(QStringLiteral("AcroView"), QStringLiteral("Control"));
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusMessage introspection = bus.call(QDBusMessage::createMethodCall(
        address.service, address.path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect")));
    ASSERT_EQ(introspection.type(), QDBusMessage::ReplyMessage)
        << introspection.errorMessage().toStdString();
    const QString xml = introspection.arguments().constFirst().toString();
    EXPECT_TRUE(
        xml.contains(QStringLiteral("<interface name=\"org.quirepress.dde.Conversation\">")))
        << xml.toStdString();
    EXPECT_TRUE(xml.contains(QStringLiteral("<method name=\"Execute\">")));

    QDBusMessage wrongType = QDBusMessage::createMethodCall(address.service, address.path,
                                                            address.interface, dbus::executeMethod);
    wrongType << 42;
    QDBusMessage wrongName = QDBusMessage::createMethodCall(
        address.service, address.path, address.interface, QStringLiteral("Print"));
    wrongName << corpusPdf(QStringLiteral("rotation.pdf")).path;
    for (const QDBusMessage& call : {wrongType, wrongName}) {
        const QDBusMessage reply = bus.call(call);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
    }
    EXPECT_EQ(cups->jobFiles(queue).size(), jobsBefore);
}

TEST_F(ConversationTest, NoServerIsNoAnswerAtOnce) {
    endServingProcess();
    QElapsedTimer elapsed;
    elapsed.start();
    const auto error = failureOf([&] { openConversation(); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ErrorNumber::ConversationNoAnswer);
    EXPECT_LT(elapsed.elapsed(), 2000);
    EXPECT_FALSE(conversation.isOpen());

    const auto notOpen = failureOf([&] { conversation.execute(QStringLiteral("[x]"), -1); });
    ASSERT_TRUE(notOpen);
    EXPECT_EQ(notOpen->number(), DBusConversation::NotOpenError);
}

} // namespace
} // namespace qp::test
