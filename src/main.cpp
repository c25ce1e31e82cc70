#include "app/CommandLine.h"
#include "app/FolderWatch.h"
#include "app/JobReport.h"
#include "app/ShellRun.h"
#include "batches/BatchFiles.h"
#include "core/Messages.h"
#include "platform/CupsJobWatch.h"
#include "platform/CupsPrinters.h"
#include "platform/DesktopHelpViewer.h"
#include "platform/FilesBeingWritten.h"
#include "platform/IniSettingsStore.h"
#include "platform/PdfPages.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/StopSignals.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "platform/dbus/SessionBusForRun.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "printing/BatchRun.h"
#include "ui/MainWindow.h"
#include "ui/QtFileDialogBackend.h"
#include "ui/QtPrompter.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QTextStream>
#include <QTimer>
#include <cstdio>

namespace {

void nameApplication() {
    QCoreApplication::setApplicationName(qp::messages::applicationTitle());
    QCoreApplication::setApplicationVersion(qp::CommandLine::version());
}

qp::DestinationCheck checkJob(const qp::PrintOptions& options) {
    const qp::CupsPrinters::JobCheck check =
        qp::CupsPrinters().checkJob(options.destination, options.cupsOptions());
    return {check.destination, check.refusal, {check.copies, check.pages, check.twoSided}};
}

int runInEventLoop(qp::ShellRun& run) {
    // An interrupt ends the run after the entry under way, and the office with the program.
    qp::StopSignals stopSignals;
    QObject::connect(&stopSignals, &qp::StopSignals::received, &run, &qp::ShellRun::stop);
    QObject::connect(&run, &qp::ShellRun::finished, &run,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &run, &qp::ShellRun::start);
    return QCoreApplication::exec();
}

// --dry-run: the run of --print, with every job rendered and counted instead of sent. PDFs
// are read here, so no print server and no session bus are needed.
int listFromShell(const qp::ShellEntries& entries, const qp::DestinationCheck& check,
                  const qp::PrintOptions& options, qp::SettingsStore& settings, QTextStream& err) {
    qp::DryRunJobs jobs(check.destination, options, check.paper);
    qp::LibreOfficeApplication office(settings);
    office.divertJobs([&jobs](const QString& path, int sheet, const QString& pdf) {
        jobs.add(path, sheet, qp::printablePdfPages(pdf));
    });
    qp::NoProgramStarter starter;
    qp::PageCountingPdfServer pdfServer(jobs, &qp::printablePdfPages);
    qp::ShellRun run(entries.entries, err, settings, office, starter, pdfServer, options,
                     entries.rejected);
    QTextStream out(stdout);
    run.listInstead(jobs, out);
    return runInEventLoop(run);
}

// A run without a usable session bus still prints: its PDFs go over a bus of its own.
void tellBusProblem(const qp::SessionBusForRun& bus, QTextStream& err) {
    if (bus.problem().isEmpty())
        return;
    err << qp::messages::shellPrefix() << bus.problem() << '\n';
    err.flush();
}

// --report FILE: the JSON Lines report, on standard output for "-". False, told on `err`,
// when the file cannot be written.
bool openReport(const QString& name, QFile& file, std::unique_ptr<qp::JobReport>& report,
                QTextStream& err) {
    if (name.isEmpty())
        return true;
    const bool opened =
        name == QLatin1String("-")
            ? file.open(stdout, QIODevice::WriteOnly)
            : (file.setFileName(name), file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    if (!opened) {
        err << qp::messages::shellPrefix()
            << QStringLiteral("cannot write the report %1: %2").arg(name, file.errorString())
            << '\n';
        err.flush();
        return false;
    }
    report = std::make_unique<qp::JobReport>(file);
    return true;
}

// Before anything prints: a script learns of a wrong destination or option at once. The
// destination is settled once, here, in this program's environment: every job goes there, the
// PDF print server's too, whatever environment the server was started in.
std::optional<qp::DestinationCheck> settleDestination(const qp::CommandLine& command,
                                                      qp::PrintOptions& options, QTextStream& err) {
    std::optional<qp::DestinationCheck> check =
        qp::acceptedDestination(checkJob, command.options, err);
    options = command.options;
    if (check)
        options.destination = check->destination;
    return check;
}

// quirepress --print: the window's batch run without a window, for scripts, cron and ssh.
int printFromShell(const qp::CommandLine& command) {
    QTextStream err(stderr);
    const std::optional<qp::ShellEntries> entries =
        qp::shellEntries(command.files, command.recursive, err);
    if (!entries)
        return qp::CommandLine::NotRunStatus;
    qp::PrintOptions options;
    const std::optional<qp::DestinationCheck> check = settleDestination(command, options, err);
    if (!check)
        return qp::CommandLine::NotRunStatus;

    qp::IniSettingsStore stored(qp::IniSettingsStore::defaultConfigDir());
    qp::ReadOnlySettings settings(stored, QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/quirepress-pdf-server"));
    if (command.dryRun)
        return listFromShell(*entries, *check, options, settings, err);
    QFile reportFile;
    std::unique_ptr<qp::JobReport> report;
    if (!openReport(command.report, reportFile, report, err))
        return qp::CommandLine::NotRunStatus;
    std::unique_ptr<qp::CupsJobWatch> watch;
    if (command.wait)
        watch = std::make_unique<qp::CupsJobWatch>();
    // Before anything else touches the session bus.
    qp::SessionBusForRun bus;
    tellBusProblem(bus, err);
    qp::LibreOfficeApplication office(settings);
    qp::QProcessProgramStarter starter;
    qp::DBusPdfPrintServer pdfServer;
    qp::ShellRun run(entries->entries, err, settings, office, starter, pdfServer, options,
                     entries->rejected, watch.get(), report.get());
    return runInEventLoop(run);
}

// quirepress --watch DIR: a hot folder, until SIGTERM or SIGINT.
int watchFolder(const qp::CommandLine& command) {
    QTextStream err(stderr);
    qp::PrintOptions options;
    if (!settleDestination(command, options, err))
        return qp::CommandLine::NotRunStatus;
    QFile reportFile;
    std::unique_ptr<qp::JobReport> report;
    if (!openReport(command.report, reportFile, report, err))
        return qp::CommandLine::NotRunStatus;
    qp::IniSettingsStore stored(qp::IniSettingsStore::defaultConfigDir());
    qp::ReadOnlySettings settings(stored, QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/quirepress-pdf-server"));
    qp::SessionBusForRun bus;
    tellBusProblem(bus, err);
    qp::LibreOfficeApplication office(settings);
    qp::QProcessProgramStarter starter;
    qp::DBusPdfPrintServer pdfServer;
    qp::FolderWatch::Setup setup{command.watchFolder, options,
                                 std::chrono::milliseconds(qRound64(command.settleSeconds * 1000))};
    setup.report = report.get();
    // The tests' way to see the office go without waiting minutes.
    bool seconds = false;
    const int idle = qEnvironmentVariableIntValue("QP_WATCH_OFFICE_IDLE_SECONDS", &seconds);
    if (seconds && idle > 0)
        setup.officeIdle = std::chrono::seconds(idle);
    qp::FolderWatch watch(setup, {settings, office, starter, pdfServer, qp::filesBeingWritten},
                          err);
    qp::StopSignals stopSignals;
    QObject::connect(&stopSignals, &qp::StopSignals::received, &watch, &qp::FolderWatch::stop);
    QObject::connect(&watch, &qp::FolderWatch::finished, &watch,
                     [](int status) { QCoreApplication::exit(status); });
    if (!watch.start())
        return qp::CommandLine::NotRunStatus;
    return QCoreApplication::exec();
}

int runWindow(QApplication& app, const QStringList& files) {
    qp::QtPrompter prompter;
    qp::QtFileDialogBackend fileDialog;
    qp::IniSettingsStore settings(qp::IniSettingsStore::defaultConfigDir());
    qp::LibreOfficeApplication office(settings);
    qp::QProcessProgramStarter starter;
    qp::DBusPdfPrintServer pdfServer;
    qp::DesktopHelpViewer help;

    bool ended = false;
    const auto endProgram = [&ended] {
        ended = true;
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    };
    qp::MainWindow window({prompter, fileDialog, settings, office, starter, pdfServer, help,
                           QApplication::applicationDirPath(), endProgram,
                           qp::BatchFiles::userBatchFolder()});
    prompter.setOwner(&window);
    // The default at the press, for the run's every job.
    window.batchRun().setDefaultDestination([] { return qp::CupsPrinters().defaultDestination(); });
    window.runStartupChecks();
    // From here on the office may start: a logout or kill ends the run after the entry under
    // way, and the program with the office, its profile and its files.
    qp::StopSignals stopSignals;
    QObject::connect(&stopSignals, &qp::StopSignals::received, &window,
                     &qp::MainWindow::endWithoutAsking);
    window.openFiles(files);
    // A signal taken under a question of the files given has ended the program already.
    if (ended)
        return 0;
    window.show();
    return app.exec();
}

QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    // Printing, help and version run without a display: under cron or ssh there is none.
    if (qp::CommandLine::needsNoDisplay(argumentList(argc, argv))) {
        QCoreApplication app(argc, argv);
        nameApplication();
        const qp::CommandLine command = qp::CommandLine::parse(QCoreApplication::arguments());
        if (command.mode == qp::CommandLine::Mode::Watch)
            return watchFolder(command);
        if (command.mode != qp::CommandLine::Mode::Print)
            return command.exitStatus;
        return printFromShell(command);
    }

    QApplication app(argc, argv);
    nameApplication();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quirepress.png")));
    // What is left once Qt has taken its own options (-platform, -style...) out of argv.
    const qp::CommandLine command = qp::CommandLine::parse(argumentList(argc, argv));
    switch (command.mode) {
    case qp::CommandLine::Mode::Window:
        return runWindow(app, command.files);
    case qp::CommandLine::Mode::Print:
        return printFromShell(command);
    case qp::CommandLine::Mode::Watch:
        return watchFolder(command);
    case qp::CommandLine::Mode::Finished:
        break;
    }
    return command.exitStatus;
}
