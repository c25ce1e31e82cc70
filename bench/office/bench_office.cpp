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
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <cstdio>
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        test::PrivateCups cups;
        cups.addKeepingQueue(Queue, true);
        test::OfficeFixtures fixtures;
        QStringList files;
        for (int i = 1; i <= Documents; ++i)
            files << fixtures.file(QStringLiteral("letter %1.doc").arg(i),
                                   test::fileBytes(fixtures.doc()));

        // QP_BENCH_QUICK: the smallest sizes, for the test suite's run.
        const bool quick = qEnvironmentVariableIsSet("QP_BENCH_QUICK");
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
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
}
