#pragma once

#include "support/Fakes.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace qp::test {

QString runTool(const QString& program, const QStringList& args); // throws unless it exits 0
// False once the time is up. The runs that send the jobs are driven by this thread's events.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    return QTest::qWaitFor(done, timeoutMs);
}

// A CUPS server of the test's own: configuration, spool and socket in a temporary folder,
// cupsd a child of the test (dying with it), reached through CUPS_SERVER. HOME points to an
// empty folder so that no ~/.cups/lpoptions picks a default. Queues keep each job as a file.
class PrivateCups {
public:
    PrivateCups();
    ~PrivateCups();
    // A raw queue whose backend keeps each job exactly as sent.
    void addKeepingQueue(const QString& name, bool makeDefault);
    void setDefault(const QString& name) { runTool("/usr/sbin/lpadmin", {"-d", name}); }
    void clearDefault(); // leaves the server without any default destination
    void removeQueue(const QString& name) { runTool("/usr/sbin/lpadmin", {"-x", name}); }
    void setAccepting(const QString& queue, bool on) {
        runTool(on ? "/usr/sbin/cupsaccept" : "/usr/sbin/cupsreject", {queue});
    }
    // A queue whose backend fails every job, each job then aborted.
    void addFailingQueue(const QString& name);
    void setEnabled(const QString& queue, bool on, const QString& reason = "paused") {
        runTool(on ? "/usr/sbin/cupsenable" : "/usr/sbin/cupsdisable",
                on ? QStringList{queue} : QStringList{"-r", reason, queue});
    }
    int pendingJobs(const QString& queue) const;      // held by CUPS and not finished
    QStringList jobFiles(const QString& queue) const; // complete kept jobs, in the order received
    bool waitForJobs(const QString& queue, int count, int timeoutMs);
    // The job attributes of a kept job, read back through IPP (Get-Job-Attributes), each as
    // text ("copies" -> "2", "page-ranges" -> "1-2").
    QMap<QString, QString> jobAttributes(const QString& jobFile) const;
    QString log() const; // cupsd's error log, for failure messages
    qint64 serverPid() const { return m_cupsd.processId(); }

private:
    QTemporaryDir m_root;
    QProcess m_cupsd;
};

// For one suite: a private CUPS server whose default queue keeps every job as a file.
class KeptJobsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { delete cups; }
    void SetUp() override;
    // The jobs added since SetUp or the last call, once there are that many; fails on too
    // few or too many.
    QStringList newJobs(int expected, int timeoutMs = 60000);

    static inline const QString queue = "keeper";
    static inline PrivateCups* cups = nullptr;
    int jobsBefore = 0;
};

// One document of the corpus of real-world files, as QP_CORPUS_DIR/MANIFEST.tsv has it.
struct CorpusDocument {
    QString kind, path;
    int pages = 0;         // 0 when it does not open without its password
    int worksheets = -1;   // as LibreOffice counts them
    bool locked = false;   // needs a password
    bool textOnly = false; // LibreOffice takes it for plain text
    bool printable = true; // its permissions allow printing
};
const std::vector<CorpusDocument>& corpus(); // read once; empty when the corpus is missing
QString corpusFile(const QString& relative); // absolute and without ".."

int pdfPages(const QString& path); // as pdfinfo reads a kept job or any PDF
inline QString pdfText(const QString& path) {
    return runTool("pdftotext", {path, "-"});
}

} // namespace qp::test
