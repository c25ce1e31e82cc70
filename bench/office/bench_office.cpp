// How long 20 small Word documents take to print: through the program's batch run (one
// LibreOffice kept over UNO), through one `soffice --headless -p` with all 20 files, and
// through one `soffice --headless -p` per file. All print into the same private CUPS queue,
// and each way counts as done when its 20 jobs have arrived. The batch run is timed from
// the press of "Print Batch": once pressed at once after the files were listed, and once
// after the pause a user takes between listing files and pressing the button, during which
// the office the list asked for starts and warms up in the background; for each, when the
// first job reached CUPS and the pace of the jobs after it.
//
// Then how long the thread that runs the batch goes without handling events (the window
// would stay unpainted that long) during those runs and while a long document prints.
//
// Last, the sweep of pool sizes: 40 small Word and PowerPoint documents of the corpus
// (QP_BENCH_QUICK: 4) through `quirepress --print` with OfficeProcesses set to 1, 2 and 4
// (quick: 1 and 2), each in a home of its own, against one `soffice --headless -p` with the
// same files and against N `soffice --convert-to pdf` side by side, each with a profile of its
// own and a share of the files: the floor that rendering alone sets. `bench_office sweep` runs
// the sweep alone. A figure that misses its target is marked MISSED, and fails nothing.

#include "BenchSupport.h"
#include "core/Prompter.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "platform/libreoffice/OfficeProfile.h"
#include "printing/BatchRun.h"
#include "printing/BatchRunView.h"
#include "printing/PdfPrintServer.h"
#include "printing/ProgramStarter.h"
#include "printing/PromptedRunReport.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include "OfficeTestSupport.h"

#include "support/EventGapProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

using namespace qp;

const QString Queue = QStringLiteral("bench");
constexpr int Documents = 20;

class NoProgramStarter : public ProgramStarter {
public:
    void start(const QString& program) override {
        throw std::runtime_error("no program to start in an Office batch: " +
                                 program.toStdString());
    }
    bool hasEnded() const override { return true; }
};

class NoPdfPrintServer : public PdfPrintServer {
public:
    void connect(Reply) override { throw std::runtime_error("no PDF print server here"); }
    void openDocument(const QString&, Timeout, Reply) override {}
    void printDocument(const QString&, const PrintOptions&, Timeout, PrintReply) override {}
    void disconnect() override {}
};

void awaitJobs(test::PrivateCups& cups, int count) {
    if (!cups.waitForJobs(Queue, count, 600000))
        throw std::runtime_error("the jobs did not all arrive: " + cups.log().toStdString());
}

void pause(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// When each entry began, from the press: the next one begins once the job of the one before
// has been taken by CUPS and the document is closed.
struct TimedRunView : test::ListRunView {
    void setProgress(int, int) override { began << timer.nsecsElapsed() / 1e9; }
    QElapsedTimer timer;
    QVector<double> began;
};

struct BatchTimes {
    double total = 0;
    double firstJob = 0;
    double perJob = 0;          // from the first job on
    qint64 longestEventGap = 0; // ms, on the thread that runs the batch
};

// The run as the window drives it: started from the event loop, done when its jobs arrived.
BatchTimes viaBatchRun(test::PrivateCups& cups, const QStringList& files, int jobsBefore,
                       int userPauseMilliseconds) {
    test::FakeSettingsStore settings;
    bench::CountingPrompter prompter(PromptAnswer::No);
    PromptedRunReport report(prompter);
    NoProgramStarter starter;
    NoPdfPrintServer conversation;
    TimedRunView view;
    view.entries = files;
    view.skip = true; // no save question in a benchmark
    QElapsedTimer& timer = view.timer;
    BatchTimes times;
    {
        LibreOfficeApplication office(settings);
        BatchRun run(view, report, settings, office, starter, conversation);
        // The window asks for the office as soon as its list holds an Office file.
        run.prepareOffice();
        pause(userPauseMilliseconds);
        const test::EventGapProbe probe;
        timer.start();
        run.start();
        awaitJobs(cups, jobsBefore + files.size());
        // The office stays for later runs; ending it is not part of printing the batch.
        times.total = timer.elapsed() / 1000.0;
        times.longestEventGap = probe.longestMilliseconds();
        if (run.isRunning()) {
            QEventLoop loop;
            QObject::connect(&run, &BatchRun::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
    }
    if (prompter.boxes > 0 || view.began.size() != files.size())
        throw std::runtime_error("the batch run reported failures");
    if (files.size() > 2) {
        times.firstJob = view.began[1];
        times.perJob = (view.began.back() - view.began[1]) / (files.size() - 2);
    }
    return times;
}

void soffice(const QString& profileUrl, const QStringList& files) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("soffice"),
                  QStringList{QStringLiteral("-env:UserInstallation=") + profileUrl,
                              QStringLiteral("--headless"), QStringLiteral("-p")} +
                      files);
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        throw std::runtime_error("soffice -p failed");
}

double viaOneSofficeCall(test::PrivateCups& cups, const QStringList& files, int jobsBefore) {
    // A set-up profile, as a user's own would be: no first-start work in the figure.
    OfficeProfile profile(LibreOfficeApplication::defaultProgramDir());
    QElapsedTimer timer;
    timer.start();
    soffice(profile.url(), files);
    awaitJobs(cups, jobsBefore + files.size());
    return timer.elapsed() / 1000.0;
}

double viaSofficeCallPerFile(test::PrivateCups& cups, const QStringList& files, int jobsBefore) {
    OfficeProfile profile(LibreOfficeApplication::defaultProgramDir());
    QElapsedTimer timer;
    timer.start();
    for (const QString& file : files)
        soffice(profile.url(), {file});
    awaitJobs(cups, jobsBefore + files.size());
    return timer.elapsed() / 1000.0;
}

// The mark: the program with a pool against one soffice -p with the same files.
constexpr double SweepTarget = 0.45;

// Small documents of the corpus that print, copied under names of their own ("07 table.ppt")
// until there are count of them: every job tells which entry it is.
QStringList smallCorpusDocuments(const QString& folder, int count, int* pages) {
    std::vector<test::CorpusDocument> small;
    for (const test::CorpusDocument& document : test::corpus())
        if ((document.kind == "doc" || document.kind == "ppt") && !document.locked &&
            !document.textOnly && document.printable && document.pages <= 10)
            small.push_back(document);
    if (small.empty())
        throw std::runtime_error("the corpus is missing at QP_CORPUS_DIR");
    QStringList files;
    *pages = 0;
    for (int i = 0; i < count; ++i) {
        const test::CorpusDocument& document = small[size_t(i) % small.size()];
        files << QStringLiteral("%1/%2 %3")
                     .arg(folder)
                     .arg(i + 1, 2, 10, QLatin1Char('0'))
                     .arg(QFileInfo(document.path).fileName());
        if (!QFile::copy(document.path, files.back()))
            throw std::runtime_error("cannot copy " + document.path.toStdString());
        *pages += document.pages;
    }
    return files;
}

// The program run from the shell with a pool of offices, in a home of its own whose settings
// say how many: done when it has ended and its jobs have arrived.
double viaProgram(test::PrivateCups& cups, const QStringList& files, int offices, int jobsBefore) {
    const QTemporaryDir home;
    const QString config = home.path() + "/.config";
    QDir().mkpath(config + "/Quirepress");
    test::writeFile(config + "/Quirepress/Quirepress.conf",
                    QStringLiteral("[Settings]\nOfficeProcesses=%1\n").arg(offices).toUtf8());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    QString program = qEnvironmentVariable("QP_BENCH_PROGRAM");
    if (program.isEmpty())
        program = QCoreApplication::applicationDirPath() + "/quirepress";
    QProcess run;
    run.setProcessEnvironment(environment);
    run.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    run.start(program, QStringList{QStringLiteral("--print")} + files);
    if (!run.waitForFinished(600000) || run.exitCode() != 0)
        throw std::runtime_error("quirepress --print failed: " +
                                 run.readAllStandardError().right(2000).toStdString());
    awaitJobs(cups, jobsBefore + int(files.size()));
    return timer.elapsed() / 1000.0;
}

// N converters side by side, the files dealt out among them in turn; the profiles are set up
// before the clock starts, as a pool's would be.
double viaConverters(const QStringList& files, int processes) {
    const QString programDir = LibreOfficeApplication::defaultProgramDir();
    const QTemporaryDir output;
    std::vector<std::unique_ptr<OfficeProfile>> profiles;
    std::vector<std::unique_ptr<QProcess>> converters;
    for (int i = 0; i < processes; ++i)
        profiles.push_back(std::make_unique<OfficeProfile>(programDir));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < processes; ++i) {
        QStringList share;
        for (qsizetype file = i; file < files.size(); file += processes)
            share << files[file];
        converters.push_back(std::make_unique<QProcess>());
        converters.back()->setStandardOutputFile(QProcess::nullDevice());
        converters.back()->setStandardErrorFile(QProcess::nullDevice());
        converters.back()->start(
            QStringLiteral("soffice"),
            QStringList{QStringLiteral("-env:UserInstallation=") + profiles[size_t(i)]->url(),
                        QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                        QStringLiteral("pdf"), QStringLiteral("--outdir"), output.path()} +
                share);
    }
    for (const auto& converter : converters)
        if (!converter->waitForFinished(600000) || converter->exitCode() != 0)
            throw std::runtime_error("soffice --convert-to failed");
    const double seconds = timer.elapsed() / 1000.0;
    if (QDir(output.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files).size() !=
        files.size())
        throw std::runtime_error("soffice --convert-to left files unconverted");
    return seconds;
}

void sweepPoolSizes(test::PrivateCups& cups, bool quick, int jobsBefore) {
    const QTemporaryDir folder;
    int pages = 0;
    const QStringList files = smallCorpusDocuments(folder.path(), quick ? 4 : 40, &pages);
    const std::vector<int> sizes = quick ? std::vector<int>{1, 2} : std::vector<int>{1, 2, 4};
    const double single = viaOneSofficeCall(cups, files, jobsBefore);
    int jobs = jobsBefore + int(files.size());
    std::vector<double> program, floor;
    for (int size : sizes) {
        floor.push_back(viaConverters(files, size));
        program.push_back(viaProgram(cups, files, size, jobs));
        jobs += int(files.size());
    }
    std::printf("Pool sizes: %d small Word and PowerPoint documents of the corpus (%d pages), "
                "each way from its start until the last job arrived or file was written:\n",
                int(files.size()), pages);
    std::printf("  one soffice --headless -p with all files: %7.2f s\n", single);
    std::printf("  offices  quirepress --print  against soffice -p  N soffice --convert-to pdf  "
                "against that floor\n");
    for (size_t i = 0; i < sizes.size(); ++i) {
        const double ratio = program[i] / single;
        // One office is the reference a pool is measured from; the mark is for a pool.
        const bool missed = sizes[i] > 1 && ratio > SweepTarget;
        std::printf("  %7d  %15.2f s  %16.2fx  %22.2f s  %16.2fx", sizes[i], program[i], ratio,
                    floor[i], program[i] / floor[i]);
        if (missed)
            std::printf("  MISSED: target at most %.2fx soffice -p", SweepTarget);
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Run by hand it finds the CUPS templates and the corpus of this tree.
    if (!qEnvironmentVariableIsSet("QP_SOURCE_DIR"))
        qputenv("QP_SOURCE_DIR", QP_TREE_SOURCE_DIR);
    if (!qEnvironmentVariableIsSet("QP_CORPUS_DIR"))
        qputenv("QP_CORPUS_DIR", QP_TREE_CORPUS_DIR);
    try {
        test::PrivateCups cups;
        cups.addKeepingQueue(Queue, true);
        // QP_BENCH_QUICK: the smallest sizes, for the test suite's run.
        const bool quick = qEnvironmentVariableIsSet("QP_BENCH_QUICK");
        if (app.arguments().contains(QStringLiteral("sweep"))) {
            sweepPoolSizes(cups, quick, 0);
            return 0;
        }
        test::OfficeFixtures fixtures;
        QStringList files;
        for (int i = 1; i <= Documents; ++i)
            files << fixtures.file(QStringLiteral("letter %1.doc").arg(i),
                                   test::fileBytes(fixtures.doc()));

        // Print pressed at once, and after a user's pauses: a short one, and one long enough
        // for the office started ahead to be ready on a busy machine.
        const int pauses[] = {0, 3, 8};
        BatchTimes runs[3];
        for (int i = 0; i < 3; ++i)
            runs[i] = viaBatchRun(cups, files, i * Documents, pauses[i] * 1000);
        const double single = viaOneSofficeCall(cups, files, 3 * Documents);
        const double loop = viaSofficeCallPerFile(cups, files, 4 * Documents);
        const int pages = quick ? 50 : 600;
        const BatchTimes longDocument =
            viaBatchRun(cups, {fixtures.longDoc(pages)}, 5 * Documents, 0);

        std::printf("%d small .doc files, each way into the same CUPS queue:\n", Documents);
        std::printf("  one soffice --headless -p with all files:            %7.2f s\n", single);
        std::printf("  one soffice --headless -p per file:                  %7.2f s  (%.2fx)\n",
                    loop, loop / single);
        for (int i = 0; i < 3; ++i)
            std::printf("  batch run, Print pressed %d s after the files are listed: %7.2f s  "
                        "(%.2fx)\n    first job in CUPS %.3f s after the press, then one every "
                        "%.3f s\n",
                        pauses[i], runs[i].total, runs[i].total / single, runs[i].firstJob,
                        runs[i].perJob);
        std::printf("Longest time without handling events:\n");
        std::printf("  batch run that starts LibreOffice:             %6lld ms\n",
                    static_cast<long long>(runs[0].longestEventGap));
        std::printf("  batch run with LibreOffice started ahead:      %6lld ms\n",
                    static_cast<long long>(runs[2].longestEventGap));
        std::printf("  while a %d-page document loads and prints:    %6lld ms\n", pages,
                    static_cast<long long>(longDocument.longestEventGap));
        sweepPoolSizes(cups, quick, 5 * Documents + 1);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
}
