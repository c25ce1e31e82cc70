#include "support/PrivateCups.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <cups/cups.h>
#include <signal.h>
#include <sys/prctl.h>

namespace qp::test {

QString runTool(const QString& program, const QStringList& args) {
    const auto [status, out, err] = runProgram(program, args);
    if (status != 0)
        throw std::runtime_error(
            (program + ' ' + args.join(' ') + " failed: " + err).toStdString());
    return out;
}

PrivateCups::PrivateCups() : m_root(QDir::tempPath() + "/qp-cups-XXXXXX") {
    // The backend runs as root, but cupsd checks the folders it is given.
    QFile::setPermissions(m_root.path(), QFileDevice::Permissions::fromInt(0x7055)); // rwxr-xr-x
    for (const char* sub :
         {"conf/ppd", "spool/tmp", "cache", "state", "log", "home", "jobs", "serverbin/backend"})
        QDir().mkpath(m_root.filePath(sub));
    const QString templates = qEnvironmentVariable("QP_SOURCE_DIR") + "/tests/support/cups/";
    const QString socket = m_root.filePath("cups.sock"), conf = m_root.filePath("conf/");
    for (const char* name : {"cupsd.conf", "cups-files.conf"})
        writeFile(
            conf + name,
            fileBytes(templates + name + ".in").replace("@ROOT@", m_root.path().toLocal8Bit()));
    writeFile(conf + "client.conf", {}); // keeps the system's one (and its ServerName) out
    // The system's filters, with a backend folder of our own whose mode 0700 makes cupsd run
    // the backend as root, so it can write anywhere we point it.
    const QString bin = m_root.filePath("serverbin/");
    for (const QString& entry :
         QDir("/usr/lib/cups").entryList(QDir::NoDotAndDotDot | QDir::AllEntries))
        QFile::link("/usr/lib/cups/" + entry, bin + entry); // not "backend": ours is there
    for (const QString backend : {"qpkeep", "qpfail"}) {
        writeFile(bin + "backend/" + backend, fileBytes(templates + backend));
        QFile::setPermissions(bin + "backend/" + backend,
                              QFileDevice::Permissions::fromInt(0x7000));
    }
    // Destinations named in the environment would win over the server's default. None of it
    // is restored: a private server that is gone is safer than the user's printers.
    qputenv("CUPS_SERVER", socket.toLocal8Bit());
    qputenv("CUPS_SERVERROOT", conf.toLocal8Bit());
    qputenv("HOME", m_root.filePath("home").toLocal8Bit());
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
    cupsSetServer(nullptr); // libcups keeps the server it found first; make it look again

    m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
    m_cupsd.setChildProcessModifier([] {
        // Its own process group, so that teardown reaches the backends too; and gone with us
        // even when the test crashes.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_cupsd.start("/usr/sbin/cupsd",
                  {"-f", "-c", conf + "cupsd.conf", "-s", conf + "cups-files.conf"});
    m_cupsd.waitForStarted(10000);
    const QDeadlineTimer deadline(20000);
    while (m_cupsd.state() == QProcess::Running && !deadline.hasExpired()) {
        if (http_t* http = httpConnect2(socket.toLocal8Bit().constData(), 0, nullptr, AF_UNSPEC,
                                        HTTP_ENCRYPTION_NEVER, 1, 1000, nullptr)) {
            httpClose(http);
            return;
        }
        QThread::msleep(50);
    }
    throw std::runtime_error(
        ("cupsd did not answer: " + m_cupsd.readAll() + '\n' + log()).toStdString());
}

PrivateCups::~PrivateCups() {
    if (m_cupsd.state() == QProcess::Running)
        ::kill(-static_cast<pid_t>(m_cupsd.processId()), SIGKILL);
    m_cupsd.waitForFinished(5000);
}

QString PrivateCups::log() const {
    QFile file(m_root.filePath("log/error_log"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "(no cupsd log)";
}

void PrivateCups::addKeepingQueue(const QString& name, bool makeDefault) {
    QDir().mkpath(m_root.filePath("jobs/" + name));
    runTool("/usr/sbin/lpadmin",
            {"-p", name, "-E", "-v", "qpkeep:" + m_root.filePath("jobs/" + name)});
    if (makeDefault)
        setDefault(name);
}

void PrivateCups::addFailingQueue(const QString& name) {
    runTool("/usr/sbin/lpadmin",
            {"-p", name, "-E", "-v", "qpfail:/", "-o", "printer-error-policy=abort-job"});
}

void PrivateCups::clearDefault() {
    // CUPS has no request to unset the default; deleting the default queue leaves none.
    runTool("/usr/sbin/lpadmin", {"-p", "qp-no-default", "-E", "-v", "file:/dev/null"});
    setDefault("qp-no-default");
    removeQueue("qp-no-default");
}

int PrivateCups::pendingJobs(const QString& queue) const {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0,
                                   CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(count, jobs);
    return count;
}

QStringList PrivateCups::jobFiles(const QString& queue) const {
    const QDir folder(m_root.filePath("jobs/" + queue));
    QStringList files;
    for (const QString& name : folder.entryList({"*.job"}, QDir::Files, QDir::Name))
        files << folder.filePath(name);
    return files;
}

QMap<QString, QString> PrivateCups::jobAttributes(const QString& jobFile) const {
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const QByteArray uri =
        "ipp://localhost/jobs/" + QByteArray::number(QFileInfo(jobFile).baseName().toInt());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "all");
    // cupsd shows the job's name to its owner alone.
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    QMap<QString, QString> attributes;
    for (ipp_attribute_t* attr = ippFirstAttribute(response); attr;
         attr = ippNextAttribute(response)) {
        char value[1024];
        if (ippGetName(attr) && ippGetGroupTag(attr) == IPP_TAG_JOB) {
            ippAttributeString(attr, value, sizeof value);
            attributes.insert(ippGetName(attr), QString::fromUtf8(value));
        }
    }
    ippDelete(response);
    return attributes;
}

bool PrivateCups::waitForJobs(const QString& queue, int count, int timeoutMs) {
    return waitUntil([&] { return jobFiles(queue).size() >= count; }, timeoutMs);
}

void KeptJobsTest::SetUpTestSuite() {
    cups = new PrivateCups;
    cups->addKeepingQueue(queue, true);
}

void KeptJobsTest::SetUp() {
    cups->setDefault(queue);
    jobsBefore = cups->jobFiles(queue).size();
}

QStringList KeptJobsTest::newJobs(int expected, int timeoutMs) {
    EXPECT_TRUE(cups->waitForJobs(queue, jobsBefore + expected, timeoutMs))
        << cups->log().toStdString();
    // A job still held would arrive after the count: one too many must show.
    EXPECT_TRUE(waitUntil([] { return cups->pendingJobs(queue) == 0; }, 30000));
    const QStringList added = cups->jobFiles(queue).mid(jobsBefore);
    EXPECT_EQ(added.size(), expected);
    jobsBefore += added.size();
    return added;
}

const std::vector<CorpusDocument>& corpus() {
    static const std::vector<CorpusDocument> documents = [] {
        std::vector<CorpusDocument> read;
        QFile manifest(corpusFile("MANIFEST.tsv"));
        if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text))
            return read;
        const QStringList header = QString::fromUtf8(manifest.readLine()).trimmed().split('\t');
        while (!manifest.atEnd()) {
            const QStringList row = QString::fromUtf8(manifest.readLine()).trimmed().split('\t');
            const auto column = [&](const char* name) { return row.value(header.indexOf(name)); };
            const auto count = QRegularExpression("LO=(\\d+)").match(column("worksheets"));
            read.push_back({column("kind"), corpusFile(column("kind") + '/' + column("file_name")),
                            column("pages_or_result").toInt(),
                            count.hasMatch() ? count.captured(1).toInt() : -1,
                            column("pages_or_result").startsWith("fails"),
                            column("notes").contains("falls back to text import"),
                            !column("encrypted").contains("print:no")});
        }
        return read;
    }();
    return documents;
}

QString corpusFile(const QString& relative) {
    return QDir::cleanPath(QDir(qEnvironmentVariable("QP_CORPUS_DIR")).absoluteFilePath(relative));
}

int pdfPages(const QString& path) {
    const auto match = QRegularExpression("^Pages:\\s+(\\d+)", QRegularExpression::MultilineOption)
                           .match(runTool("pdfinfo", {path}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace qp::test
