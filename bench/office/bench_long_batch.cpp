// A long batch of real documents through `quirepress --print`, as a user would run it: the
// corpus's printable Word and PowerPoint files over and over into a private CUPS queue. It
// reports the office's peak resident memory, how much our own process grows, and the seconds
// per entry of the first and the last hundred entries (a quarter of a shorter batch).
//
//   bench_long_batch [ENTRIES] [KEY=VALUE...]
//
// ENTRIES defaults to 600 (QP_BENCH_QUICK: 30); each KEY=VALUE goes into the [Settings] of the
// run's own configuration file. QP_BENCH_PROGRAM names another quirepress to measure.

#include "support/PrivateCups.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <stdexcept>

namespace {

using namespace qp;

const QString Queue = QStringLiteral("longbatch");

// VmRSS of a process in MB; 0 when it is gone.
double residentMegabytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

// The office our program runs: its child named soffice.bin.
qint64 officeOf(qint64 parent) {
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const int close = text.lastIndexOf(')');
        if (close < 0 || !text.mid(0, close).contains("(soffice.bin"))
            continue;
        if (text.mid(close + 2).split(' ').value(1).toLongLong() == parent)
            return pid;
    }
    return 0;
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
        int entries = qEnvironmentVariableIsSet("QP_BENCH_QUICK") ? 30 : 600;
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
        double officePeak = 0, oursAtTenth = 0, oursLast = 0, oursPeak = 0;
        int officeStarts = 0, started = 0;
        qint64 office = 0;
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
            const qint64 now = officeOf(run.processId());
            if (now != 0 && now != office)
                ++officeStarts;
            if (now != 0)
                office = now;
            officePeak = std::max(officePeak, residentMegabytes(office));
            const double ours = residentMegabytes(run.processId());
            if (ours > 0) {
                oursLast = ours;
                oursPeak = std::max(oursPeak, ours);
                if (started <= std::max(1, entries / 10))
                    oursAtTenth = ours;
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

        const int jobs = cups.jobFiles(Queue).size();
        const int span = std::min(100, entries / 4);
        auto perEntry = [&](int from) {
            const double to = from + span <= entries ? began[from + span] : ended;
            return (to - began[from]) / span;
        };
        std::printf("%d entries cycling through %d corpus files, %s:\n", entries,
                    int(corpus.size()), qUtf8Printable(arguments.join(' ')));
        std::printf("  exit status %d, %d jobs kept by CUPS, %.1f s in all\n", run.exitCode(), jobs,
                    ended);
        std::printf("  office: peak resident memory %.0f MB, %d office process(es) seen\n",
                    officePeak, officeStarts);
        std::printf("  our process: %.0f MB after the first tenth, %.0f MB last, %.0f MB peak\n",
                    oursAtTenth, oursLast, oursPeak);
        std::printf("  seconds per entry: first %d %.3f, last %d %.3f (%.2fx)\n", span, perEntry(1),
                    span, perEntry(entries - span), // up to the last entry's start: no shut-down
                    perEntry(entries - span) / perEntry(1));
        if (!otherLines.isEmpty())
            std::fprintf(stderr, "%s", qUtf8Printable(otherLines));
        return run.exitCode() == 0 && jobs >= entries ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
}
