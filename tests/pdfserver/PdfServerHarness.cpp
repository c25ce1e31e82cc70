#include "PdfServerHarness.h"

#include "platform/dbus/ConversationAddress.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <signal.h>

namespace qp::test {

std::vector<CorpusPdf> corpusPdfs() {
    const QDir corpus(qEnvironmentVariable("QP_CORPUS_DIR"));
    QFile manifest(corpus.filePath("MANIFEST.tsv"));
    if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ADD_FAILURE() << "no corpus manifest at " << manifest.fileName().toStdString();
        return {};
    }
    const QStringList header = QString::fromUtf8(manifest.readLine()).trimmed().split('\t');
    const int kind = header.indexOf("kind");
    const int name = header.indexOf("file_name");
    const int pages = header.indexOf("pages_or_result");
    const int encrypted = header.indexOf("encrypted");
    std::vector<CorpusPdf> pdfs;
    while (!manifest.atEnd()) {
        const QStringList row = QString::fromUtf8(manifest.readLine()).chopped(1).split('\t');
        if (row.size() <= std::max({kind, name, pages, encrypted}) || row[kind] != "pdf")
            continue;
        pdfs.push_back({corpusPdf(row[name]), row[pages].toInt(),
                        row[pages].startsWith(QLatin1String("fails")),
                        !row[encrypted].contains(QLatin1String("print:no"))});
    }
    EXPECT_EQ(pdfs.size(), 15u) << "the corpus should hold 15 PDFs";
    return pdfs;
}

QString corpusPdf(const QString& fileName) {
    return QDir(qEnvironmentVariable("QP_CORPUS_DIR")).filePath("pdf/" + fileName);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << path.toStdString();
    return file.readAll();
}

void copyFile(const QString& from, const QString& to) {
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::remove(to);
    EXPECT_TRUE(QFile::copy(from, to)) << from.toStdString() << " -> " << to.toStdString();
}

int pdfPageCount(const QString& path) {
    QProcess pdfinfo;
    pdfinfo.start("pdfinfo", {path});
    if (!pdfinfo.waitForFinished(60000) || pdfinfo.exitCode() != 0)
        return -1;
    static const QRegularExpression pages("^Pages:\\s+(\\d+)\\s*$",
                                          QRegularExpression::MultilineOption);
    const auto match = pages.match(QString::fromUtf8(pdfinfo.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

void expectFailure(const std::function<void()>& action, long number, const QString& words) {
    try {
        action();
        ADD_FAILURE() << "it did not fail";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), number) << error.description().toStdString();
        EXPECT_TRUE(error.description().contains(words)) << error.description().toStdString();
    }
}

QString pdfServerProgram() {
    return qEnvironmentVariable("QP_RUNTIME_DIR") + "/quirepress-pdf-server";
}

QString conversationOwner() {
    const QString service = dbus::conversationAddress("AcroView", "Control").service;
    const auto reply = QDBusConnection::sessionBus().interface()->serviceOwner(service);
    return reply.isValid() ? reply.value() : QString();
}

bool waitForConversationOwner(bool present, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (conversationOwner().isEmpty() == present) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

void endServingProcess() {
    const QString owner = conversationOwner();
    if (owner.isEmpty())
        return;
    const auto pid = QDBusConnection::sessionBus().interface()->servicePid(owner);
    if (pid.isValid() && pid.value() > 0)
        ::kill(static_cast<pid_t>(pid.value()), SIGKILL);
    EXPECT_TRUE(waitForConversationOwner(false, 10000)) << "the PDF print server did not end";
}

PdfServerProcess::PdfServerProcess(double idleSeconds, const QString& busAddress) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QP_PDF_SERVER_IDLE_SECONDS", QString::number(idleSeconds));
    if (!busAddress.isEmpty())
        environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
    setProcessEnvironment(environment);
    setProgram(pdfServerProgram());
    setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

PdfServerProcess::~PdfServerProcess() {
    kill();
    waitForFinished(10000);
}

void PdfServerProcess::startServing(bool waitForName) {
    start();
    ASSERT_TRUE(waitForStarted(10000)) << errorString().toStdString();
    if (waitForName)
        ASSERT_TRUE(waitForConversationOwner(true, 10000)) << "the server did not take its name";
}

void PdfServerProcess::signal(int signalNumber) {
    ::kill(static_cast<pid_t>(processId()), signalNumber);
}

const QString KeptJobsTest::queue = "keeper";
PrivateCups* KeptJobsTest::cups = nullptr;

void KeptJobsTest::SetUpTestSuite() {
    cups = new PrivateCups;
    cups->addKeepingQueue(queue, true);
}

void KeptJobsTest::TearDownTestSuite() {
    delete cups;
    cups = nullptr;
}

void KeptJobsTest::SetUp() {
    cups->setDefault(queue);
    jobsBefore = cups->jobFiles(queue).size();
}

QStringList KeptJobsTest::newJobs(int expected, int timeoutMs) {
    EXPECT_TRUE(cups->waitForJobs(queue, jobsBefore + expected, timeoutMs))
        << cups->log().toStdString();
    return cups->jobFiles(queue).mid(jobsBefore);
}

} // namespace qp::test
