// quirepress --print as scripts, cron and ssh run it: a subprocess without a display, with the
// private CUPS server as its CUPS_SERVER and fresh home and settings folders, printing with a
// real LibreOffice and the real PDF print server on a real session bus or on one of its own.

#include "pdfserver/PdfServerHarness.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUuid>

namespace qp::test {
namespace {

// Each line in the order given, somewhere in the text; "Not printed: ..." may go on with why.
void expectLinesInOrder(const QString& text, const QStringList& lines) {
    qsizetype from = 0;
    for (const QString& line : lines) {
        const qsizetype at = text.indexOf(line, from);
        ASSERT_GE(at, from) << "missing or out of order: " << line.toStdString() << "\nin:\n"
                            << text.toStdString();
        from = at + line.size();
    }
}

QString preparing(int position, int count, const QString& entry) {
    return QString("[%1/%2] Preparing %3 for printing.").arg(position).arg(count).arg(entry);
}

class ShellPrint : public ServingTest {};

// Runs, with their exit status, standard error and output lines in order, and the files
// printed in order (none: rendered by LibreOffice). A batch file's entries stand as written,
// and a relative PDF entry prints from the run's working folder.
TEST_F(ShellPrint, EndsWithTheStatusScriptsExpect) {
    QTemporaryDir home;
    const QString word = corpusFile("doc/TestChineseProperties.doc");
    const QString slides = corpusFile("ppt/table_test.ppt"), gone = home.filePath("gone.doc");
    const QString pdf = corpusFile("pdf/sizes.pdf"), otherPdf = corpusFile("pdf/XiaoBiaoSong.pdf");
    const QString batch = home.filePath("nightly.QPB"), unreadable = home.filePath("no such.qpb");
    const QString locked = corpusFile("pdf/encryption_noprinting.pdf");
    ASSERT_TRUE(QFile::copy(otherPdf, home.filePath("rel.pdf")));
    QFile batchFile(batch);
    ASSERT_TRUE(batchFile.open(QIODevice::WriteOnly));
    batchFile.write(("\"" + pdf + "\"\r\n\"" + slides + "\"\r\n\"rel.pdf\"\r\n").toUtf8());
    batchFile.close();
    enum Setup { Default, NoPrinter, Rejecting, NoBus };
    const struct {
        Setup setup;
        QStringList arguments;
        int status;
        QStringList lines;
        QStringList printed;
    } cases[] = {
        {Default,
         {"--print", word, batch, otherPdf},
         0,
         {preparing(1, 5, word), preparing(2, 5, pdf), preparing(3, 5, slides),
          preparing(4, 5, "rel.pdf"), preparing(5, 5, otherPdf), "5 printed, 0 not printed."},
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
         {"quirepress: cannot read the batch file " + unreadable +
          ": 53 File not found: " + unreadable}},
        {NoPrinter,
         {"--print", word, pdf},
         2,
         {preparing(1, 2, word),
          "quirepress: There is no default printer set up.  You must have a "
          "default printer to use this utility",
          "0 printed, 2 not printed."}},
        {Default, {"--print", "--colour"}, 2, {"quirepress: Unknown option 'colour'."}},
        {Rejecting, {"--print", word}, 2, {preparing(1, 1, word), "0 printed, 1 not printed."}},
        // Without a session bus PDFs print on a bus of the run's own that ends with it.
        {NoBus, {"--print", pdf, otherPdf}, 0, {"2 printed, 0 not printed."}, {pdf, otherPdf}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
        // Whatever the run started, however detached, carries the mark in its environment.
        const QString mark = QUuid::createUuid().toString();
        if (c.setup == NoBus) {
            env.remove("DBUS_SESSION_BUS_ADDRESS");
            env.insert("XDG_RUNTIME_DIR", home.path());
            env.insert("QP_SHELL_TEST_MARK", mark);
        }
        if (c.setup == NoPrinter)
            cups->clearDefault();
        cups->setAccepting(queue, c.setup != Rejecting);
        QProcess program;
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(home.path());
        program.start(qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress", c.arguments);
        EXPECT_TRUE(program.waitForFinished(300000)) << "quirepress did not finish";
        cups->setDefault(queue);
        cups->setAccepting(queue, true);
        const QString text = program.readAllStandardError() + program.readAllStandardOutput();
        EXPECT_EQ(program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1, c.status)
            << text.toStdString();
        expectLinesInOrder(text, c.lines);
        const QStringList jobs = newJobs(c.printed.size(), 120000);
        for (qsizetype i = 0; i < std::min(jobs.size(), c.printed.size()); ++i)
            EXPECT_TRUE(c.printed[i].isEmpty() ? pdfPages(jobs[i]) == 1
                                               : fileBytes(jobs[i]) == fileBytes(c.printed[i]))
                << i;
        if (c.setup == NoBus)
            EXPECT_TRUE(conversationOwner().isEmpty()) << "the server went to the test's own bus";
        for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
            QFile environ("/proc/" + pid + "/environ");
            if (c.setup == NoBus && environ.open(QIODevice::ReadOnly))
                EXPECT_FALSE(environ.readAll().contains(mark.toUtf8()))
                    << "left running: " << pid.toStdString();
        }
        endServingProcess();
    }
    EXPECT_FALSE(QFileInfo::exists(home.filePath("config/Quirepress")))
        << "a run from the shell wrote the settings";
}

} // namespace
} // namespace qp::test
