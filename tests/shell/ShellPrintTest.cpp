// quirepress --print as scripts, cron and ssh run it: a subprocess without a display, with the
// private CUPS server as its CUPS_SERVER and fresh home and settings folders, printing with a
// real LibreOffice and the real PDF print server on a real session bus or on one of its own.

#include "pdfserver/PdfServerHarness.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

namespace qp::test {
namespace {

struct Outcome {
    int status = -1;
    QString out, err;
};

// Each line in the order given, somewhere in the text.
void expectLinesInOrder(const QString& text, const QStringList& lines) {
    qsizetype from = 0;
    for (const QString& line : lines) {
        const qsizetype at = text.indexOf(line + '\n', from);
        ASSERT_GE(at, from) << "missing or out of order: " << line.toStdString() << "\nin:\n"
                            << text.toStdString();
        from = at + line.size();
    }
}

class ShellPrint : public ServingTest {
protected:
    ShellPrint() {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    }
    Outcome run(const QStringList& arguments) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress", arguments);
        if (!program.waitForFinished(300000)) {
            program.kill();
            program.waitForFinished();
            ADD_FAILURE() << "quirepress did not finish";
        }
        return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
                program.readAllStandardOutput(), program.readAllStandardError()};
    }
    QString batch(const QStringList& entries) {
        QFile file(home.filePath("nightly.QPB"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QString& entry : entries)
            file.write("\"" + entry.toUtf8() + "\"\r\n");
        return file.fileName();
    }

    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString word = corpusFile("doc/TestChineseProperties.doc");
    const QString slides = corpusFile("ppt/table_test.ppt");
    const QString firstPdf = corpusFile("pdf/sizes.pdf");
    const QString secondPdf = corpusFile("pdf/XiaoBiaoSong.pdf");
};

TEST_F(ShellPrint, MixedRunWithABatchFilePrintsEverythingInOrder) {
    const Outcome outcome = run({"--print", word, batch({firstPdf, slides}), secondPdf});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    expectLinesInOrder(outcome.err, {"[1/4] Preparing " + word + " for printing.",
                                     "[2/4] Preparing " + firstPdf + " for printing.",
                                     "[3/4] Preparing " + slides + " for printing.",
                                     "[4/4] Preparing " + secondPdf + " for printing.",
                                     "4 printed, 0 not printed."});
    const QStringList jobs = newJobs(4, 120000);
    ASSERT_EQ(jobs.size(), 4);
    EXPECT_EQ(pdfPages(jobs[0]), 1);
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(firstPdf));
    EXPECT_EQ(pdfPages(jobs[2]), 1);
    EXPECT_EQ(fileBytes(jobs[3]), fileBytes(secondPdf));
    EXPECT_FALSE(QFileInfo::exists(home.filePath("config/Quirepress")))
        << "a run from the shell wrote the settings";
}

TEST_F(ShellPrint, EndsWithTheStatusScriptsExpect) {
    const QString missing = home.filePath("gone/report.doc");
    const QString unreadable = home.filePath("no such batch.qpb");
    enum class Printer { Default, None, Rejecting };
    const struct {
        const char* name;
        QStringList arguments;
        Printer printer;
        int status;
        QStringList errLines; // in this order
        QStringList printed;  // in this order
    } cases[] = {
        {"missing entry",
         {"-p", firstPdf, missing, secondPdf},
         Printer::Default,
         1,
         {"[2/3] Preparing " + missing + " for printing.", "[2/3] Not printed: " + missing,
          "2 printed, 1 not printed."},
         {firstPdf, secondPdf}},
        {"unreadable batch file",
         {"--print", firstPdf, unreadable},
         Printer::Default,
         2,
         {"quirepress: cannot read the batch file " + unreadable +
          ": 53 File not found: " + unreadable},
         {}},
        {"no default printer",
         {"--print", word, firstPdf},
         Printer::None,
         2,
         {"[1/2] Preparing " + word + " for printing.",
          "quirepress: There is no default printer set up.  You must have a default printer to "
          "use this utility",
          "0 printed, 2 not printed."},
         {}},
        {"bad usage",
         {"--print", "--colour"},
         Printer::Default,
         2,
         {"quirepress: Unknown option 'colour'."},
         {}},
        {"queue not accepting jobs",
         {"--print", word},
         Printer::Rejecting,
         2,
         {"[1/1] Preparing " + word + " for printing.", "0 printed, 1 not printed."},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.printer == Printer::None)
            cups->clearDefault();
        cups->setAccepting(queue, c.printer != Printer::Rejecting);
        const Outcome outcome = run(c.arguments);
        cups->setDefault(queue);
        cups->setAccepting(queue, true);
        EXPECT_EQ(outcome.status, c.status) << outcome.err.toStdString();
        // Lines are matched whole up to their end, so a reason may follow "Not printed: ...".
        expectLinesInOrder(
            QString(outcome.err).replace(QRegularExpression("(Not printed: [^:]+)[^\\n]*"), "\\1"),
            c.errLines);
        const QStringList jobs = newJobs(c.printed.size());
        ASSERT_EQ(jobs.size(), c.printed.size());
        for (qsizetype i = 0; i < jobs.size(); ++i)
            EXPECT_EQ(fileBytes(jobs[i]), fileBytes(c.printed[i])) << i;
        endServingProcess();
    }
    const Outcome help = run({"--help"}), version = run({"--version"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--print")) << help.out.toStdString();
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Quirepress 1.0.0\n");
}

TEST_F(ShellPrint, WithoutASessionBusPdfsPrintOnABusOfTheRunsOwnThatEndsWithIt) {
    QTemporaryDir runtimeDir;
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("XDG_RUNTIME_DIR", runtimeDir.path());
    // Whatever the run started, however detached, carries this mark in its environment.
    const QString mark = QUuid::createUuid().toString();
    env.insert("QP_SHELL_TEST_MARK", mark);
    const Outcome outcome = run({"--print", firstPdf, secondPdf});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[0]), fileBytes(firstPdf));
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(secondPdf));
    for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
        QFile environ("/proc/" + pid + "/environ");
        if (environ.open(QIODevice::ReadOnly))
            EXPECT_FALSE(
                environ.readAll().split('\0').contains("QP_SHELL_TEST_MARK=" + mark.toUtf8()))
                << "left running: " << pid.toStdString();
    }
    EXPECT_TRUE(conversationOwner().isEmpty()) << "the server went to the test's own bus";
}

} // namespace
} // namespace qp::test
