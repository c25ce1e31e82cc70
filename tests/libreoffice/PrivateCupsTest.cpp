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

using namespace Qt::StringLiterals;

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// Sends the bytes with the lp command, as any CUPS client of the private server would.
void submit(const QString& queue, const QByteArray& content) {
    QTemporaryDir dir;
    QFile file(dir.filePath(u"job"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    QProcess lp;
    lp.setProcessChannelMode(QProcess::MergedChannels);
    lp.start(u"lp"_s, {u"-d"_s, queue, file.fileName()});
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

TEST(PrivateCups, KeepsEachJobExactlyAsSentInOrderAndInItsOwnQueue) {
    PrivateCups cups;
    const QString keep = u"keep"_s;
    cups.addKeepingQueue(keep, true);
    cups.addKeepingQueue(u"other"_s, false);
    // Bytes that any filter or text conversion would change.
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(static_cast<char>(i * 7 % 256));
    const QList<QByteArray> sent = {binary, "second job\r\n"};
    for (int i = 0; i < sent.size(); ++i) {
        submit(keep, sent[i]);
        ASSERT_TRUE(cups.waitForJobs(keep, i + 1, 30000)) << cups.log().toStdString();
    }
    const QStringList jobs = cups.jobFiles(keep);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(readAll(jobs[0]), sent[0]);
    EXPECT_EQ(readAll(jobs[1]), sent[1]);
    EXPECT_FALSE(cups.waitForJobs(keep, 3, 500));
    EXPECT_TRUE(cups.jobFiles(u"other"_s).isEmpty());
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
        EXPECT_FALSE(QFile::exists(qEnvironmentVariable("HOME") + u"/.cups/lpoptions"_s));
        EXPECT_TRUE(serverAnswers(socket));
    }
    EXPECT_EQ(qgetenv("CUPS_SERVER"), serverBefore);
    EXPECT_EQ(qgetenv("HOME"), homeBefore);
    EXPECT_FALSE(serverAnswers(socket));
}

TEST(CupsPrinters, FollowsTheServersDefaultAndRaises5140WithoutOne) {
    PrivateCups cups;
    CupsPrinters printers;
    EXPECT_EQ(printers.defaultDestination(), QString());
    cups.addKeepingQueue(u"alpha"_s, true);
    cups.addKeepingQueue(u"beta"_s, false);
    EXPECT_EQ(printers.defaultDestination(), u"alpha"_s);
    EXPECT_EQ(printers.requireDefaultDestination(), u"alpha"_s);
    cups.setDefault(u"beta"_s);
    EXPECT_EQ(printers.requireDefaultDestination(), u"beta"_s);

    cups.clearDefault();
    EXPECT_EQ(printers.defaultDestination(), QString());
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
