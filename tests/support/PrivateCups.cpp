#include "support/PrivateCups.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstring>
#include <cups/cups.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace qp::test {

namespace {

QString templateFolder() {
    const QByteArray source = qgetenv("QP_SOURCE_DIR");
    if (!source.isEmpty())
        return QString::fromLocal8Bit(source) + QStringLiteral("/tests/support/cups");
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/cups");
}

QByteArray readTemplate(const QString& name) {
    QFile file(templateFolder() + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read CUPS template " + file.fileName().toStdString());
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
        throw std::runtime_error("cannot write " + path.toStdString());
}

void saveAndSet(const char* name, const QByteArray& value, QByteArray& saved, bool& had) {
    had = qEnvironmentVariableIsSet(name);
    saved = qgetenv(name);
    qputenv(name, value);
}

void restore(const char* name, const QByteArray& saved, bool had) {
    if (had)
        qputenv(name, saved);
    else
        qunsetenv(name);
}

bool answers(const QString& socketPath) {
    const QByteArray path = socketPath.toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<int>(sizeof(address.sun_path)))
        return false;
    memcpy(address.sun_path, path.constData(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return connected;
}

} // namespace

PrivateCups::PrivateCups() : m_root(QDir::tempPath() + QStringLiteral("/qp-cups-XXXXXX")) {
    if (!m_root.isValid())
        throw std::runtime_error("cannot create a temporary folder for CUPS");
    // The backend runs as root, but cupsd checks the folders it is given.
    QFile::setPermissions(m_root.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                             QFileDevice::ExeOther);
    for (const char* sub :
         {"conf", "conf/ppd", "spool", "spool/tmp", "cache", "state", "log", "home", "jobs"})
        QDir().mkpath(m_root.filePath(QString::fromLatin1(sub)));
    writeConfiguration();
    prepareServerBin();

    saveAndSet("CUPS_SERVER", socketPath().toLocal8Bit(), m_savedServer, m_hadServer);
    saveAndSet("CUPS_SERVERROOT", m_root.filePath(QStringLiteral("conf")).toLocal8Bit(),
               m_savedServerRoot, m_hadServerRoot);
    saveAndSet("HOME", m_root.filePath(QStringLiteral("home")).toLocal8Bit(), m_savedHome,
               m_hadHome);
    // Destinations named in the environment would win over the server's default.
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
    // libcups keeps the server it found first; make it look again.
    cupsSetServer(nullptr);

    startServer();
}

PrivateCups::~PrivateCups() {
    stopServer();
    restore("CUPS_SERVER", m_savedServer, m_hadServer);
    restore("CUPS_SERVERROOT", m_savedServerRoot, m_hadServerRoot);
    restore("HOME", m_savedHome, m_hadHome);
    cupsSetServer(nullptr);
}

QString PrivateCups::socketPath() const {
    return m_root.filePath(QStringLiteral("cups.sock"));
}

QString PrivateCups::log() const {
    QFile file(m_root.filePath(QStringLiteral("log/error_log")));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(no cupsd log)");
    return QString::fromLocal8Bit(file.readAll());
}

void PrivateCups::writeConfiguration() {
    const QByteArray root = m_root.path().toLocal8Bit();
    QByteArray server = readTemplate(QStringLiteral("cupsd.conf.in"));
    server.replace("@SOCKET@", socketPath().toLocal8Bit());
    QByteArray files = readTemplate(QStringLiteral("cups-files.conf.in"));
    files.replace("@ROOT@", root);
    writeFile(m_root.filePath(QStringLiteral("conf/cupsd.conf")), server);
    writeFile(m_root.filePath(QStringLiteral("conf/cups-files.conf")), files);
    // An empty client.conf keeps the system's one (and its ServerName) out.
    writeFile(m_root.filePath(QStringLiteral("conf/client.conf")), {});
}

void PrivateCups::prepareServerBin() {
    // The system's filters and helpers, with a backend folder of our own.
    const QString system = QStringLiteral("/usr/lib/cups");
    const QString bin = m_root.filePath(QStringLiteral("serverbin"));
    QDir().mkpath(bin + QStringLiteral("/backend"));
    for (const QString& entry :
         QDir(system).entryList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot)) {
        if (entry != QLatin1String("backend"))
            QFile::link(system + QLatin1Char('/') + entry, bin + QLatin1Char('/') + entry);
    }
    const QString backend = bin + QStringLiteral("/backend/qpkeep");
    writeFile(backend, readTemplate(QStringLiteral("qpkeep")));
    // Mode 0700 makes cupsd run the backend as root, so it can write anywhere we point it.
    QFile::setPermissions(backend,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void PrivateCups::startServer() {
    m_cupsd = std::make_unique<QProcess>();
    m_cupsd->setProgram(QStringLiteral("/usr/sbin/cupsd"));
    m_cupsd->setArguments({QStringLiteral("-f"), QStringLiteral("-c"),
                           m_root.filePath(QStringLiteral("conf/cupsd.conf")), QStringLiteral("-s"),
                           m_root.filePath(QStringLiteral("conf/cups-files.conf"))});
    m_cupsd->setProcessChannelMode(QProcess::MergedChannels);
    m_cupsd->setChildProcessModifier([] {
        // Own process group, so that teardown reaches the backends too; and gone with us
        // even when the test crashes.
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_cupsd->start();
    if (!m_cupsd->waitForStarted(10000))
        throw std::runtime_error("cannot start cupsd: " + m_cupsd->errorString().toStdString());

    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (m_cupsd->state() != QProcess::Running || m_cupsd->waitForFinished(0)) {
            const QString output = QString::fromLocal8Bit(m_cupsd->readAll());
            const std::string message =
                "cupsd ended at start: " + output.toStdString() + "\n" + log().toStdString();
            ADD_FAILURE() << message;
            m_cupsd.reset();
            throw std::runtime_error(message);
        }
        if (answers(socketPath()))
            return;
        QThread::msleep(50);
    }
    const std::string message =
        "cupsd did not answer on " + socketPath().toStdString() + "\n" + log().toStdString();
    stopServer();
    ADD_FAILURE() << message;
    throw std::runtime_error(message);
}

void PrivateCups::stopServer() {
    if (!m_cupsd)
        return;
    const qint64 pid = m_cupsd->processId();
    if (pid > 0 && m_cupsd->state() == QProcess::Running) {
        ::kill(-static_cast<pid_t>(pid), SIGTERM);
        if (!m_cupsd->waitForFinished(5000)) {
            ::kill(-static_cast<pid_t>(pid), SIGKILL);
            m_cupsd->waitForFinished(5000);
        }
    }
    m_cupsd.reset();
}

void PrivateCups::administer(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("/usr/sbin/") + program, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        const std::string message =
            program.toStdString() + ' ' + args.join(QLatin1Char(' ')).toStdString() +
            " failed: " + QString::fromLocal8Bit(process.readAll()).toStdString() + "\n" +
            log().toStdString();
        ADD_FAILURE() << message;
        throw std::runtime_error(message);
    }
}

QString PrivateCups::jobFolder(const QString& queue) const {
    return m_root.filePath(QStringLiteral("jobs/") + queue);
}

void PrivateCups::addKeepingQueue(const QString& name, bool makeDefault) {
    const QString folder = jobFolder(name);
    QDir().mkpath(folder);
    lpadmin({QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
             QStringLiteral("qpkeep:") + folder});
    if (makeDefault)
        setDefault(name);
}

void PrivateCups::setDefault(const QString& name) {
    lpadmin({QStringLiteral("-d"), name});
}

void PrivateCups::clearDefault() {
    // CUPS has no request to unset the default; deleting the default queue leaves none.
    const QString placeholder = QStringLiteral("qp-no-default");
    lpadmin({QStringLiteral("-p"), placeholder, QStringLiteral("-E"), QStringLiteral("-v"),
             QStringLiteral("file:/dev/null")});
    lpadmin({QStringLiteral("-d"), placeholder});
    lpadmin({QStringLiteral("-x"), placeholder});
}

void PrivateCups::removeQueue(const QString& name) {
    lpadmin({QStringLiteral("-x"), name});
}

void PrivateCups::setAccepting(const QString& queue, bool accepting) {
    administer(accepting ? QStringLiteral("cupsaccept") : QStringLiteral("cupsreject"), {queue});
}

void PrivateCups::setEnabled(const QString& queue, bool enabled) {
    administer(enabled ? QStringLiteral("cupsenable") : QStringLiteral("cupsdisable"), {queue});
}

int PrivateCups::pendingJobs(const QString& queue) const {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0,
                                   CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(count, jobs);
    return count;
}

QStringList PrivateCups::jobFiles(const QString& queue) const {
    const QDir folder(jobFolder(queue));
    QStringList files;
    for (const QString& name : folder.entryList({QStringLiteral("*.job")}, QDir::Files, QDir::Name))
        files << folder.filePath(name);
    return files;
}

bool PrivateCups::waitForJobs(const QString& queue, int count, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (jobFiles(queue).size() < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

} // namespace qp::test
