// quirepress --print as scripts, cron and ssh run it: a subprocess without a display, with the
// private CUPS server as its CUPS_SERVER and fresh home and settings folders.

#include "pdfserver/PdfServerHarness.h"
#include "support/QStringPrinting.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

namespace qp::test {
namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

class ShellPrint : public KeptJobsTest {
protected:
    ShellPrint() {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    }

    Outcome run(const QStringList& arguments) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress", arguments);
        Outcome outcome;
        if (!program.waitForFinished(300000)) {
            program.kill();
            program.waitForFinished();
            ADD_FAILURE() << "quirepress did not finish";
            return outcome;
        }
        if (program.exitStatus() == QProcess::NormalExit)
            outcome.status = program.exitCode();
        outcome.out = QString::fromLocal8Bit(program.readAllStandardOutput());
        outcome.err = QString::fromLocal8Bit(program.readAllStandardError());
        return outcome;
    }

    QString batch(const QStringList& entries) {
        const QString path = home.filePath("nightly.QPB");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QString& entry : entries)
            file.write("\"" + entry.toUtf8() + "\"\r\n");
        return path;
    }

    // The processes that carry this test's mark in their environment: whatever the run
    // started, however detached.
    static QStringList markedProcesses(const QByteArray& mark) {
        QStringList found;
        for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
            QFile environ("/proc/" + pid + "/environ");
            if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(mark))
                found << pid + " " +
                             QString::fromUtf8(fileBytes("/proc/" + pid + "/comm")).trimmed();
        }
        return found;
    }

    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // As the program names them: absolute and without "..".
    static QString corpusFile(const QString& name) {
        return QDir::cleanPath(QDir(qEnvironmentVariable("QP_CORPUS_DIR")).absoluteFilePath(name));
    }
    const QString word = corpusFile("doc/TestChineseProperties.doc");
    const QString slides = corpusFile("ppt/table_test.ppt");
    const QString firstPdf = corpusFile("pdf/sizes.pdf");
    const QString secondPdf = corpusFile("pdf/XiaoBiaoSong.pdf");
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
    EXPECT_EQ(pdfPageCount(jobs[0]), 1);
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(firstPdf));
    EXPECT_EQ(pdfPageCount(jobs[2]), 1);
    EXPECT_EQ(fileBytes(jobs[3]), fileBytes(secondPdf));
    EXPECT_FALSE(QFileInfo::exists(home.filePath("config/Quirepress")))
        << "a run from the shell wrote the settings";
}

TEST_F(ShellPrint, EndsWithTheStatusScriptsExpect) {
    const QString missing = home.filePath("gone/report.doc");
    const QString unreadable = home.filePath("no such batch.qpb");
    enum class Printer { Default, None, Rejecting };
    struct Case {
        const char* name;
        QStringList arguments;
        Printer printer;
        int status;
        QStringList errLines; // in this order
        QList<QString> jobs;  // the files printed, in order
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.printer == Printer::None)
            cups->clearDefault();
        cups->setAccepting(queue, c.printer != Printer::Rejecting);
        jobsBefore = cups->jobFiles(queue).size();
        const Outcome outcome = run(c.arguments);
        cups->setDefault(queue);
        cups->setAccepting(queue, true);
        EXPECT_EQ(outcome.status, c.status) << outcome.err.toStdString();
        // Lines are matched whole up to their end, so a reason may follow "Not printed: ...".
        QString err = outcome.err;
        err.replace(QRegularExpression("(Not printed: [^:]+)[^\\n]*"), "\\1");
        expectLinesInOrder(err, c.errLines);
        const QStringList jobs = newJobs(c.jobs.size());
        ASSERT_EQ(jobs.size(), c.jobs.size());
        for (qsizetype i = 0; i < jobs.size(); ++i)
            EXPECT_EQ(fileBytes(jobs[i]), fileBytes(c.jobs[i])) << i;
        endServingProcess();
    }
}

TEST_F(ShellPrint, HelpAndVersionNeedNoDisplay) {
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--print")) << help.out.toStdString();
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Quirepress 1.0.0\n");
}

TEST_F(ShellPrint, WithoutASessionBusPdfsPrintOnABusOfTheRunsOwnThatEndsWithIt) {
    QTemporaryDir runtimeDir;
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    env.insert("XDG_RUNTIME_DIR", runtimeDir.path());
    const QByteArray mark = "QP_SHELL_TEST_MARK=" + QUuid::createUuid().toByteArray();
    env.insert(QString::fromLatin1(mark.split('=')[0]), QString::fromLatin1(mark.split('=')[1]));

    const Outcome outcome = run({"--print", firstPdf, secondPdf});
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const QStringList jobs = newJobs(2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(fileBytes(jobs[0]), fileBytes(firstPdf));
    EXPECT_EQ(fileBytes(jobs[1]), fileBytes(secondPdf));
    EXPECT_EQ(markedProcesses(mark), QStringList()) << "left running after the run";
    EXPECT_TRUE(conversationOwner().isEmpty()) << "the server went to the test's own bus";
}

} // namespace
} // namespace qp::test
