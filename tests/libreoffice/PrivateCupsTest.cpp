#include "support/PrivateCups.h"
#include "core/AppError.h"
#include "platform/CupsPrinters.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cups/cups.h>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// Sends a file with the lp command, as any CUPS client of the private server would.
void submit(const QString& queue, const QString& path) {
    QProcess lp;
    lp.setProcessChannelMode(QProcess::MergedChannels);
    lp.start(QStringLiteral("lp"), {QStringLiteral("-d"), queue, path});
    ASSERT_TRUE(lp.waitForFinished(30000));
    ASSERT_EQ(lp.exitCode(), 0) << lp.readAll().toStdString();
}

// Whether a CUPS server answers an IPP request on that socket.
bool serverAnswers(const QString& socket) {
    http_t* http = httpConnect2(socket.toLocal8Bit().constData(), 0, nullptr, AF_UNSPEC,
                                HTTP_ENCRYPTION_NEVER, 1, 2000, nullptr);
    if (!http)
        return false;
    ipp_t* response = cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_PRINTERS), "/");
    const bool answered = response != nullptr;
    ippDelete(response);
    httpClose(http);
    return answered;
}

QString writeTemp(QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return path;
}

TEST(PrivateCups, KeepsEachJobExactlyAsSentInOrderOfArrival) {
    PrivateCups cups;
    cups.addKeepingQueue(QStringLiteral("keep"), true);
    QTemporaryDir dir;
    // Bytes that any filter or text conversion would change.
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(static_cast<char>(i * 7 % 256));
    const QString first = writeTemp(dir, QStringLiteral("first.bin"), binary);
    const QString second = writeTemp(dir, QStringLiteral("second.txt"), "second job\r\n");
    submit(QStringLiteral("keep"), first);
    ASSERT_TRUE(cups.waitForJobs(QStringLiteral("keep"), 1, 30000)) << cups.log().toStdString();
    submit(QStringLiteral("keep"), second);
    ASSERT_TRUE(cups.waitForJobs(QStringLiteral("keep"), 2, 30000)) << cups.log().toStdString();

    const QStringList jobs = cups.jobFiles(QStringLiteral("keep"));
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(readAll(jobs[0]), binary);
    EXPECT_EQ(readAll(jobs[1]), QByteArray("second job\r\n"));
    EXPECT_FALSE(cups.waitForJobs(QStringLiteral("keep"), 3, 500));
}

TEST(PrivateCups, QueuesKeepTheirJobsApart) {
    PrivateCups cups;
    cups.addKeepingQueue(QStringLiteral("left"), true);
    cups.addKeepingQueue(QStringLiteral("right"), false);
    QTemporaryDir dir;
    submit(QStringLiteral("right"), writeTemp(dir, QStringLiteral("r"), "for the right"));
    ASSERT_TRUE(cups.waitForJobs(QStringLiteral("right"), 1, 30000));
    EXPECT_TRUE(cups.jobFiles(QStringLiteral("left")).isEmpty());
}

TEST(PrivateCups, PointsClientsAtItsOwnSocketAndStopsTheServerOnTeardown) {
    const QByteArray serverBefore = qgetenv("CUPS_SERVER");
    const QByteArray homeBefore = qgetenv("HOME");
    QString socket;
    {
        PrivateCups cups;
        socket = cups.socketPath();
        EXPECT_EQ(qgetenv("CUPS_SERVER"), socket.toLocal8Bit());
        EXPECT_NE(qgetenv("HOME"), homeBefore);
        EXPECT_FALSE(QFile::exists(QString::fromLocal8Bit(qgetenv("HOME")) +
                                   QStringLiteral("/.cups/lpoptions")));
        EXPECT_TRUE(serverAnswers(socket));
    }
    EXPECT_EQ(qgetenv("CUPS_SERVER"), serverBefore);
    EXPECT_EQ(qgetenv("HOME"), homeBefore);
    EXPECT_FALSE(serverAnswers(socket));
}

TEST(CupsPrinters, FollowsTheServersDefaultDestination) {
    PrivateCups cups;
    CupsPrinters printers;
    EXPECT_EQ(printers.defaultDestination(), QString());

    cups.addKeepingQueue(QStringLiteral("alpha"), true);
    cups.addKeepingQueue(QStringLiteral("beta"), false);
    EXPECT_EQ(printers.defaultDestination(), QStringLiteral("alpha"));
    EXPECT_EQ(printers.requireDefaultDestination(), QStringLiteral("alpha"));

    cups.setDefault(QStringLiteral("beta"));
    EXPECT_EQ(printers.requireDefaultDestination(), QStringLiteral("beta"));

    cups.clearDefault();
    EXPECT_EQ(printers.defaultDestination(), QString());
}

TEST(CupsPrinters, NoDefaultDestinationRaises5140WithTheUsersMessage) {
    PrivateCups cups;
    cups.addKeepingQueue(QStringLiteral("only"), false);
    CupsPrinters printers;
    try {
        printers.requireDefaultDestination();
        FAIL() << "no error without a default destination";
    } catch (const AppError& error) {
        EXPECT_EQ(error.number(), 5140);
        EXPECT_EQ(error.description(),
                  QStringLiteral("There is no default printer set up.  You must have a default "
                                 "printer to use this utility"));
    }
}

} // namespace
} // namespace qp::test
