// On the session bus and a private CUPS server: the PDF print server with the program's client,
// a batch run of PDFs, and quirepress --print, never two at once on the AcroView name.

#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/ConversationAddress.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "printing/BatchRun.h"
#include "support/EventGapProbe.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QTest>
#include <QUuid>
#include <signal.h>
#include <sys/stat.h>

namespace qp::test {
namespace {

using namespace std::chrono_literals;
constexpr auto PrintTimeout = 2000s;
constexpr ErrorNumber Refused = ErrorNumber::ConversationRefused,
                      Unusable = ErrorNumber::CannotBind;

// The unique bus name that owns the AcroView conversation now, or the empty text.
QString conversationOwner() {
    const QString service = dbus::conversationAddress("AcroView", "Control").service;
    const auto reply = QDBusConnection::sessionBus().interface()->serviceOwner(service);
    return reply.isValid() ? reply.value() : QString();
}

// Ends whatever serves the conversation, also a server a run started detached, so that
// nothing outlives a test.
void endServingProcess() {
    const auto pid = QDBusConnection::sessionBus().interface()->servicePid(conversationOwner());
    if (pid.isValid())
        ::kill(static_cast<pid_t>(pid.value()), SIGKILL);
    EXPECT_TRUE(waitUntil([] { return conversationOwner().isEmpty(); }, 10000))
        << "the PDF print server did not end";
}

// The real server of this build, killed when the object goes.
struct PdfServerProcess : QProcess {
    explicit PdfServerProcess(const QString& busAddress = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!busAddress.isEmpty())
            environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        setProcessEnvironment(environment);
        setProgram(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress-pdf-server");
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~PdfServerProcess() override {
        kill();
        waitForFinished(10000);
    }
    void startServing(bool waitForName = true) {
        start();
        ASSERT_TRUE(waitForStarted(10000)) << errorString().toStdString();
        if (waitForName) {
            ASSERT_TRUE(waitUntil([] { return !conversationOwner().isEmpty(); }, 10000))
                << "the server took no name";
        }
    }
    // Never to pid 0 once the server has ended: that would stop or kill the test itself.
    void signal(int signalNumber) {
        if (state() == QProcess::Running)
            ::kill(static_cast<pid_t>(processId()), signalNumber);
    }
};

struct ServingTest : KeptJobsTest {
    void TearDown() override { endServingProcess(); }
    const QString locked = corpusFile("pdf/encryption_noprinting.pdf"); // forbids printing
};

// Fails the test unless the action fails with this number and words in its description.
void expectFailure(const std::function<void()>& action, ErrorNumber number,
                   const QString& words = {}) {
    const AppError error = failureOf(action);
    EXPECT_TRUE(error.number() == number && error.description().contains(words)) << error.what();
}

struct Conversation : ServingTest {
    void SetUp() override {
        KeptJobsTest::SetUp();
        server.startServing();
        client.connect();
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
        client.openDocument(path, std::nullopt);
        client.printDocument(path, PrintTimeout);
    }
    client.printDocument(sent.last(), PrintTimeout); // again without opening it again
    sent << sent.last();
    const QStringList jobs = newJobs(sent.size());
    for (int i = 0; i < std::min(jobs.size(), sent.size()); ++i)
        EXPECT_EQ(fileBytes(jobs[i]), fileBytes(sent[i])) << sent[i].toStdString();
}

// What lies in the document comes as "cannot be bound"; the rest is the server's refusal.
TEST_F(Conversation, RefusedCommandsCarryTheServersMessageAndSpoilNothing) {
    const QString gone = dir.filePath("gone.pdf"), garbage = dir.filePath("garbage.pdf");
    const QString empty = dir.filePath("empty.pdf"), pipe = dir.filePath("pipe.pdf");
    const QString folder = dir.filePath("folder.pdf"), missing = "/no/such/folder/x.pdf";
    ASSERT_TRUE(QFile::copy(good, gone) && QFile::copy(corpusFile("MANIFEST.tsv"), garbage));
    writeFile(empty, {});
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(folder));
    client.openDocument(gone, std::nullopt);
    client.openDocument(locked, std::nullopt);
    QFile::remove(gone);
    const std::tuple<bool, QString, ErrorNumber, QString> cases[] = {
        // print (else open), path, error
        // Opening another document does not open this one.
        {true, good, Refused, "Cannot print " + good + ": the document has not been opened"},
        {false, missing, Unusable, "Cannot open " + missing + ": the file does not exist."},
        {false, "relative.pdf", Unusable, "must be absolute"},
        {false, garbage, Unusable, "it is not a PDF document or it is damaged"},
        {false, empty, Unusable, "Cannot open " + empty + ": it is not a PDF"},
        // A pipe would block the server until someone writes into it.
        {false, pipe, Unusable, "Cannot open " + pipe + ": it is not a file."},
        {false, folder, Unusable, "Cannot open " + folder + ": it is not a file."},
        // Printing looks at the document again: it may have gone since it was opened.
        {true, gone, Unusable, "Cannot open " + gone},
        {false, corpusFile("pdf/libreoffice-writer-password.pdf"), Unusable, "password"},
        {true, locked, Unusable, "does not allow printing"}};
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
    const std::tuple<std::chrono::milliseconds, ErrorNumber, QString, qint64> cases[] = {
        {1500ms, ErrorNumber::ConversationTimeout, "1.5 seconds", 1400},
        {20000ms, DBusPdfPrintServer::ServerQuitError, "AcroView|Control", 500}}; // killed at 0.5 s
    for (const auto& [timeout, number, words, atLeast] : cases) {
        server.signal(SIGSTOP);
        if (number == DBusPdfPrintServer::ServerQuitError)
            QTimer::singleShot(500, [this] { server.signal(SIGKILL); });
        EventGapProbe probe;
        QElapsedTimer elapsed;
        elapsed.start();
        expectFailure([&, timeout = timeout] { client.openDocument(good, timeout); }, number,
                      words);
        server.signal(SIGCONT);
        EXPECT_LT(probe.longestMilliseconds(), 1000) << "the event loop stood still";
        EXPECT_TRUE(elapsed.elapsed() >= atLeast && elapsed.elapsed() < 6000) << elapsed.elapsed();
    }
}

// One server per session bus: a second start ends quietly. Without a server a client has no
// answer at once.
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
}

// A server that outlived its session bus (the user logged out) could never be reached again.
TEST(ServerLifecycle, EndsWithItsSessionBus) {
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(bus.waitForReadyRead(10000)) << "no private bus";
    PdfServerProcess server(QString::fromUtf8(bus.readLine()).trimmed());
    server.startServing(false);
    QTest::qWait(500);
    EXPECT_EQ(server.state(), QProcess::Running);
    bus.kill();
    EXPECT_TRUE(server.waitForFinished(10000)) << "the server outlived its bus";
}

// The server leaves after a second without commands here; the Word entry between the two PDFs
// outlasts that, and the run starts it again rather than forget it.
TEST_F(ServingTest, ServerThatLeftDuringTheRunIsStartedAgain) {
    QTemporaryDir dir;
    const QString launcher = dir.filePath("PDF server, [counted]"), log = dir.filePath("log");
    const QByteArray program = qgetenv("QP_RUNTIME_DIR") + "/quirepress-pdf-server";
    writeFile(launcher, "#!/bin/sh\necho started >> '" + log.toUtf8() +
                            "'\nexec env QP_PDF_SERVER_IDLE_SECONDS=1 '" + program + "'\n");
    QFile::setPermissions(launcher, QFile::ReadOwner | QFile::ExeOwner);
    ListRunView view;
    view.entries = QStringList{corpusFile("pdf/rotation.pdf"), dir.filePath("long report.doc"),
                               corpusFile("pdf/sizes.pdf")};
    FakePrompter prompter;
    prompter.script(PromptAnswer::Yes); // go on after the Word entry
    prompter.script(PromptAnswer::No);  // no save
    FakeSettingsStore settings;
    settings.set("Quirepress/Settings/Acrobat", launcher);
    QStringList journal;
    FakeOffice office{journal}; // the Word entry takes its time, then cannot be opened
    office.onOpen = [] { QTest::qWait(3000); };
    office.fail("bind " + view.entries[1], AppError(ErrorNumber::CannotBind, "unreadable"));
    QProcessProgramStarter starter;
    DBusPdfPrintServer server;
    BatchRun(view, prompter, settings, office, starter, server).run();
    EXPECT_EQ(prompter.boxes.size(), 2u); // the Word entry's and the save offer: no other fault
    EXPECT_EQ(fileBytes(newJobs(2).value(1)), fileBytes(corpusFile("pdf/sizes.pdf")));
    EXPECT_EQ(fileBytes(log), "started\nstarted\n");
}

// quirepress --print as scripts, cron and ssh run it, without a display, with fresh home and
// settings folders; PDFs go to the server on the test run's bus or on a bus of the run's own.
// Its exit status, output lines and files printed (none: rendered by LibreOffice), in order.
// A batch file's entries stand as written; a relative PDF entry prints from the working folder.
TEST_F(ServingTest, ShellPrintEndsWithTheStatusScriptsExpect) {
    QTemporaryDir home;
    const QString word = corpusFile("doc/TestChineseProperties.doc");
    const QString slides = corpusFile("ppt/table_test.ppt"), gone = home.filePath("gone.doc");
    const QString pdf = corpusFile("pdf/sizes.pdf"), otherPdf = corpusFile("pdf/XiaoBiaoSong.pdf");
    const QString batch = home.filePath("nightly.QPB"), unreadable = home.filePath("no such.qpb");
    ASSERT_TRUE(QFile::copy(otherPdf, home.filePath("rel.pdf")));
    writeFile(batch, ("\"" + pdf + "\"\r\n\"" + slides + "\"\r\n\"rel.pdf\"\r\n").toUtf8());
    enum Setup { Default, NoPrinter, NoBus };
    const std::tuple<Setup, QStringList, int, QStringList, QStringList> cases[] = {
        {Default,
         {"--print", word, batch, otherPdf},
         0,
         {"[2/5] Preparing " + pdf, "[4/5] Preparing rel.pdf for printing.",
          "5 printed, 0 not printed."},
         {{}, pdf, {}, otherPdf, otherPdf}},
        // What lies in the entry itself, for the office or the PDF server, passes it over.
        {Default,
         {"-p", pdf, gone, locked, otherPdf},
         1,
         {"[2/4] Not printed: " + gone, "[3/4] Not printed: " + locked,
          "2 printed, 2 not printed."},
         {pdf, otherPdf}},
        {Default,
         {"--print", pdf, unreadable},
         2,
         {"quirepress: cannot read the batch file " + unreadable + ": 53 File not found"},
         {}},
        {NoPrinter,
         {"--print", word, pdf},
         2,
         {"quirepress: There is no default printer set up.", "0 printed, 2 not printed."},
         {}},
        {Default, {"--print", "--colour"}, 2, {"quirepress: Unknown option 'colour'."}, {}},
        // Without a session bus PDFs print on a bus of the run's own that ends with it.
        {NoBus, {"--print", pdf, otherPdf}, 0, {"2 printed, 0 not printed."}, {pdf, otherPdf}}};
    QProcessEnvironment shell = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        shell.remove(name);
    shell.insert("XDG_CONFIG_HOME", home.filePath("config"));
    // Whatever a run without a bus started, however detached, carries the mark in its environment.
    const QString mark = QUuid::createUuid().toString();
    QProcessEnvironment noBus = shell;
    noBus.remove("DBUS_SESSION_BUS_ADDRESS");
    noBus.insert("XDG_RUNTIME_DIR", home.path());
    noBus.insert("QP_SHELL_TEST_MARK", mark);
    for (const auto& [setup, arguments, status, lines, printed] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        if (setup == NoPrinter)
            cups->clearDefault();
        QProcess program;
        program.setProcessEnvironment(setup == NoBus ? noBus : shell);
        program.setWorkingDirectory(home.path());
        program.start(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress", arguments);
        EXPECT_TRUE(program.waitForFinished(300000)) << "quirepress did not finish";
        cups->setDefault(queue);
        const QString text = program.readAllStandardError() + program.readAllStandardOutput();
        const int ended = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        EXPECT_EQ(ended, status) << text.toStdString();
        // Each line in the order given, somewhere in the text: "Not printed: ..." goes on with why.
        qsizetype from = 0;
        for (const QString& line : lines) {
            from = text.indexOf(line, from);
            ASSERT_GE(from, 0) << "missing or out of order: " << line.toStdString() << "\nin:\n"
                               << text.toStdString();
        }
        // A run that ended otherwise than expected has failed already: no use waiting for jobs.
        const QStringList jobs = newJobs(printed.size(), ended == status ? 120000 : 0);
        for (qsizetype i = 0; i < std::min(jobs.size(), printed.size()); ++i)
            EXPECT_TRUE(printed[i].isEmpty() ? pdfPages(jobs[i]) == 1
                                             : fileBytes(jobs[i]) == fileBytes(printed[i]))
                << i;
        if (setup == NoBus) {
            EXPECT_TRUE(conversationOwner().isEmpty()) << "the server went to the test's own bus";
        }
        for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
            QFile environ("/proc/" + pid + "/environ");
            if (environ.open(QIODevice::ReadOnly)) {
                EXPECT_FALSE(environ.readAll().contains(mark.toUtf8())) << pid.toStdString();
            }
        }
        endServingProcess();
    }
    EXPECT_FALSE(QFileInfo::exists(home.filePath("config/Quirepress")))
        << "a run from the shell wrote the settings";
}

} // namespace
} // namespace qp::test
