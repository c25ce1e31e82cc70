// Prints 20 PDFs through the batch run (program starter, session-bus client, PDF print
// server) and the same 20 files with lp, into one private CUPS queue, and prints both times
// and their ratio. Each time runs until every job is kept by the queue. Exits non-zero when
// a job is missing or a message box came up; the ratio itself is a figure to read (target:
// the batch run, the server's start included, within the time of lp once per file), marked
// MISSED when it is over.

#include "BenchSupport.h"
#include "core/Prompter.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "platform/dbus/PdfServerBus.h"
#include "printing/BatchRun.h"
#include "printing/BatchRunView.h"
#include "printing/OfficeDocument.h"
#include "printing/PromptedRunReport.h"
#include "support/Fakes.h"
#include "support/PrivateCups.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <signal.h>

namespace {

using namespace qp;

constexpr int documentCount = 20;
constexpr double targetRatio = 1.0;
const QString queue = QStringLiteral("bench");

class NoOffice : public OfficeApplication {
public:
    std::unique_ptr<OfficeDocument> open(const QString& path) override {
        throw AppError(ErrorNumber::CannotBind, path + QStringLiteral(" is no PDF"));
    }
    void setPrintOptions(const PrintOptions&) override {}
};

// The printable PDFs of the corpus, cycled to documentCount copies of their own.
QStringList prepareDocuments(const QDir& into) {
    QStringList printable;
    for (const test::CorpusDocument& document : test::corpus())
        if (document.kind == QLatin1String("pdf") && !document.locked && document.printable)
            printable << document.path;
    QStringList documents;
    for (int i = 0; i < documentCount && !printable.isEmpty(); ++i) {
        const QString copy =
            into.filePath(QStringLiteral("document %1.pdf").arg(i + 1, 2, 10, QLatin1Char('0')));
        QFile::copy(printable[i % printable.size()], copy);
        documents << copy;
    }
    return documents;
}

bool printWithLp(const QStringList& documents) {
    for (const QString& document : documents) {
        QProcess lp;
        lp.start(QStringLiteral("lp"),
                 {QStringLiteral("-d"), queue, QStringLiteral("--"), document});
        if (!lp.waitForFinished(60000) || lp.exitCode() != 0) {
            std::fprintf(stderr, "lp failed on %s: %s\n", qPrintable(document),
                         lp.readAllStandardError().constData());
            return false;
        }
    }
    return true;
}

// Runs the event loop until the queue has kept count jobs, as the window's loop would run:
// QTest's wait sleeps between its passes, and every step of the run would wait out a sleep.
bool waitForKeptJobs(test::PrivateCups& cups, int count, int timeoutMs) {
    QEventLoop loop;
    QTimer poll, timeout;
    bool kept = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (cups.jobFiles(queue).size() >= count) {
            kept = true;
            loop.quit();
        }
    });
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(2);
    timeout.start(timeoutMs);
    loop.exec();
    return kept;
}

void endPdfServer() {
    const QString& name = dbus::pdfServerName;
    auto* bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return;
    const auto pid = bus->servicePid(name);
    if (pid.isValid() && pid.value() > 0)
        ::kill(static_cast<pid_t>(pid.value()), SIGTERM);
    for (int i = 0; i < 250 && bus->isServiceRegistered(name).value(); ++i)
        QThread::msleep(20);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!QDBusConnection::sessionBus().isConnected()) {
        std::fprintf(stderr, "bench_pdf needs a D-Bus session bus (run it under "
                             "dbus-run-session)\n");
        return 1;
    }
    QDir corpus(qEnvironmentVariable("QP_CORPUS_DIR"));
    QTemporaryDir work;
    const QStringList documents = prepareDocuments(QDir(work.path()));
    if (documents.size() != documentCount) {
        std::fprintf(stderr, "no corpus PDFs at %s (set QP_CORPUS_DIR)\n",
                     qPrintable(corpus.path()));
        return 1;
    }

    test::PrivateCups cups;
    cups.addKeepingQueue(queue, true);
    // Both ways meet a warm CUPS server: one job before the clocks start.
    if (!printWithLp({documents.first()}) || !cups.waitForJobs(queue, 1, 30000))
        return 1;
    int kept = 1;

    QElapsedTimer lpTime;
    lpTime.start();
    if (!printWithLp(documents) || !waitForKeptJobs(cups, kept + documentCount, 120000)) {
        std::fprintf(stderr, "lp: jobs missing\n");
        return 1;
    }
    const qint64 lpMs = lpTime.elapsed();
    kept += documentCount;

    test::ListRunView view;
    view.skip = true; // no save question in a benchmark
    view.entries = documents;
    bench::CountingPrompter prompter(PromptAnswer::No);
    test::FakeSettingsStore settings;
    settings.set(QStringLiteral("Quirepress/Settings/Acrobat"),
                 QCoreApplication::applicationDirPath() + QStringLiteral("/quirepress-pdf-server"));
    NoOffice office;
    QProcessProgramStarter starter;
    DBusPdfPrintServer pdfServer;
    PromptedRunReport report(prompter);
    BatchRun batchRun(view, report, settings, office, starter, pdfServer);
    batchRun.setDefaultDestination([] { return queue; }); // as the window asks CUPS for it

    QElapsedTimer runTime;
    runTime.start();
    batchRun.start();
    const bool allKept = waitForKeptJobs(cups, kept + documentCount, 120000);
    const qint64 runMs = runTime.elapsed();
    endPdfServer();
    if (!allKept || prompter.boxes > 0) {
        std::fprintf(stderr, "batch run: jobs missing or a message box came up\n");
        return 1;
    }

    std::printf("%d PDFs into one CUPS queue\n", documentCount);
    std::printf("  lp, one call per file:         %6lld ms\n", static_cast<long long>(lpMs));
    std::printf("  batch run through the server:  %6lld ms (server start included)\n",
                static_cast<long long>(runMs));
    const double ratio =
        static_cast<double>(runMs) / static_cast<double>(std::max<qint64>(lpMs, 1));
    std::printf("  ratio batch run / lp:          %6.2f (target: at most %.2f)%s\n", ratio,
                targetRatio, ratio > targetRatio ? " MISSED" : "");
    return 0;
}
