// A long batch of real documents through `quirepress --print`, as a user would run it: the
// corpus's printable Word and PowerPoint files over and over into a private CUPS queue. It
// reports the pace (seconds per job), whether every job reached CUPS in list order, the peak
// of all the run's offices' resident memory together, how much our own process grows, and the
// seconds per entry of the first and the last hundred entries (a quarter of a shorter batch).
// A figure that misses its target is marked MISSED; only a failed run or a job out of order
// fails the benchmark.
//
//   bench_long_batch [ENTRIES] [KEY=VALUE...]
//
// ENTRIES defaults to 300 (QP_BENCH_QUICK: 30); each KEY=VALUE goes into the [Settings] of the
// run's own configuration file. QP_BENCH_PROGRAM names another quirepress to measure.

#include "support/PrivateCups.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

namespace {

using namespace qp;

const QString Queue = QStringLiteral("longbatch");

constexpr double PaceTarget = 0.9;    // seconds per job
constexpr double MemoryTarget = 3072; // MB, all offices together

struct ProcessFacts {
    qint64 pid = 0, parent = 0, session = 0;
    double residentMegabytes = 0;
    QByteArray name;
};

QVector<ProcessFacts> processes() {
    static const double pageMegabytes = double(sysconf(_SC_PAGESIZE)) / (1024 * 1024);
    QVector<ProcessFacts> all;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid pgrp session ... rss is the 24th field; a name may hold blanks.
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (open < 0 || close < open || fields.size() < 22)
            continue;
        all.push_back({pid, fields[1].toLongLong(), fields[3].toLongLong(),
                       fields[21].toDouble() * pageMegabytes,
                       text.mid(open + 1, close - open - 1)});
    }
    return all;
}

// Every office the run keeps leads a session of its own, which the helpers it spawns share:
// their resident memory together, and the office processes among them; and the run's own.
struct PoolSample {
    double residentMegabytes = 0, ownMegabytes = 0;
    QList<qint64> offices;
};

PoolSample poolOf(qint64 run) {
    const QVector<ProcessFacts> all = processes();
    QList<qint64> sessions;
    for (const ProcessFacts& process : all)
        if (process.parent == run && process.session == process.pid)
            sessions << process.session;
    PoolSample sample;
    for (const ProcessFacts& process : all)
        if (process.pid == run) {
            sample.ownMegabytes = process.residentMegabytes;
        } else if (sessions.contains(process.session)) {
            sample.residentMegabytes += process.residentMegabytes;
            if (process.name == "soffice.bin")
                sample.offices << process.pid;
        }
    return sample;
}

QStringList printableCorpus() {
    QStringList files;
    for (const test::CorpusDocument& document : test::corpus())
        if ((document.kind == "doc" || document.kind == "ppt") && !document.locked &&
            !document.textOnly && document.printable)
            files << document.path;
    if (files.isEmpty())
        throw std::runtime_error("the corpus is missing at QP_CORPUS_DIR");
    return files;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("QP_SOURCE_DIR"))
        qputenv("QP_SOURCE_DIR", QP_TREE_SOURCE_DIR);
    if (!qEnvironmentVariableIsSet("QP_CORPUS_DIR"))
        qputenv("QP_CORPUS_DIR", QP_TREE_CORPUS_DIR);
    try {
        QStringList arguments = app.arguments().mid(1);
        int entries = qEnvironmentVariableIsSet("QP_BENCH_QUICK") ? 30 : 300;
        if (!arguments.isEmpty() && !arguments.front().contains('='))
            entries = arguments.takeFirst().toInt();
        if (entries < 4)
            throw std::runtime_error("a batch of at least 4 entries, please");

        test::PrivateCups cups; // also points HOME at a folder of its own
        cups.addKeepingQueue(Queue, true);
        qunsetenv("XDG_CONFIG_HOME");
        const QString config = QDir::homePath() + "/.config/Quirepress";
        QDir().mkpath(config);
        test::writeFile(config + "/Quirepress.conf",
                        ("[Settings]\n" + arguments.join('\n') + '\n').toUtf8());

        const QStringList corpus = printableCorpus();
        QStringList batch;
        for (int i = 0; i < entries; ++i)
            batch << corpus[i % corpus.size()];

        QString program = qEnvironmentVariable("QP_BENCH_PROGRAM");
        if (program.isEmpty())
            program = QCoreApplication::applicationDirPath() + "/quirepress";
        QProcess run;
        run.setProgram(program);
        run.setArguments(QStringList{"--print"} + batch);
        run.setStandardOutputFile(QProcess::nullDevice());

        // When each entry began, from the progress lines; memory every quarter second.
        QVector<double> began(entries + 1, -1);
        QElapsedTimer clock;
        double poolPeak = 0, oursAtTenth = 0, oursLast = 0, oursPeak = 0;
        int started = 0, mostOffices = 0;
        QList<qint64> officesSeen;
        QString otherLines; // failures and the closing count
        const QRegularExpression progress(R"(^\[(\d+)/\d+\] (.*)$)");
        QObject::connect(&run, &QProcess::readyReadStandardError, [&] {
            while (run.canReadLine()) {
                const QString line = QString::fromUtf8(run.readLine()).trimmed();
                const auto match = progress.match(line);
                if (!match.hasMatch()) {
                    otherLines += line + '\n';
                    continue;
                }
                const int entry = match.captured(1).toInt();
                if (match.captured(2).startsWith("Preparing")) {
                    if (entry <= entries && began[entry] < 0)
                        began[entry] = clock.elapsed() / 1000.0;
                    started = entry;
                } else {
                    otherLines += line + '\n';
                }
            }
        });
        run.setReadChannel(QProcess::StandardError);
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            const PoolSample pool = poolOf(run.processId());
            poolPeak = std::max(poolPeak, pool.residentMegabytes);
            mostOffices = std::max(mostOffices, int(pool.offices.size()));
            for (qint64 office : pool.offices)
                if (!officesSeen.contains(office))
                    officesSeen << office;
            if (pool.ownMegabytes > 0) {
                oursLast = pool.ownMegabytes;
                oursPeak = std::max(oursPeak, pool.ownMegabytes);
                if (started <= std::max(1, entries / 10))
                    oursAtTenth = pool.ownMegabytes;
            }
        });
        QObject::connect(&run, &QProcess::finished, &app, &QCoreApplication::quit);
        clock.start();
        run.start();
        if (!run.waitForStarted(10000))
            throw std::runtime_error("cannot start " + program.toStdString());
        sampler.start(250);
        app.exec();
        sampler.stop();
        const double ended = clock.elapsed() / 1000.0;

        // The last jobs may still be on their way from CUPS to the queue's folder.
        cups.waitForJobs(Queue, entries, 60000);
        const QStringList jobFiles = cups.jobFiles(Queue);
        const int jobs = int(jobFiles.size());
        // Every job carries its document's name: the kept jobs in the order CUPS received them
        // against the list.
        int outOfOrder = -1;
        for (int i = 0; i < std::min(jobs, entries) && outOfOrder < 0; ++i)
            if (cups.jobAttributes(jobFiles[i]).value(QStringLiteral("job-name")) !=
                QFileInfo(batch[i]).fileName())
                outOfOrder = i;
        const double pace = ended / entries;
        const int span = std::min(100, entries / 4);
        auto perEntry = [&](int from) {
            const double to = from + span <= entries ? began[from + span] : ended;
            return (to - began[from]) / span;
        };
        std::printf("%d entries cycling through %d corpus files, %s:\n", entries,
                    int(corpus.size()), qUtf8Printable(arguments.join(' ')));
        std::printf("  exit status %d, %d jobs kept by CUPS, %.1f s in all\n", run.exitCode(), jobs,
                    ended);
        std::printf("  pace: %.3f s per job (target at most %.1f s for 300 documents)%s\n", pace,
                    PaceTarget, pace > PaceTarget ? "  MISSED" : "");
        if (outOfOrder < 0)
            std::printf("  every job in list order\n");
        else
            std::printf("  OUT OF ORDER: job %d is not entry %d's\n", outOfOrder + 1,
                        outOfOrder + 1);
        std::printf("  offices: peak resident memory of all together %.0f MB (target under %.0f MB)"
                    "%s; at most %d at once, %d office process(es) seen\n",
                    poolPeak, MemoryTarget, poolPeak >= MemoryTarget ? "  MISSED" : "", mostOffices,
                    int(officesSeen.size()));
        std::printf("  our process: %.0f MB after the first tenth, %.0f MB last, %.0f MB peak\n",
                    oursAtTenth, oursLast, oursPeak);
        std::printf("  seconds per entry: first %d %.3f, last %d %.3f (%.2fx)\n", span, perEntry(1),
                    span, perEntry(entries - span), // up to the last entry's start: no shut-down
                    perEntry(entries - span) / perEntry(1));
        if (!otherLines.isEmpty())
            std::fprintf(stderr, "%s", qUtf8Printable(otherLines));
        return run.exitCode() == 0 && jobs >= entries && outOfOrder < 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
}
