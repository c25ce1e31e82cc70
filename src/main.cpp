#include "app/CommandLine.h"
#include "app/FolderWatch.h"
#include "app/ShellRun.h"
#include "batches/BatchFiles.h"
#include "core/AppError.h"
#include "core/Messages.h"
#include "platform/CupsPrinters.h"
#include "platform/DesktopHelpViewer.h"
#include "platform/FilesBeingWritten.h"
#include "platform/IniSettingsStore.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/StopSignals.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "platform/dbus/SessionBusForRun.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "printing/OfficeDocument.h"
#include "ui/MainWindow.h"
#include "ui/QtFileDialogBackend.h"
#include "ui/QtPrompter.h"

#include <QApplication>
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
    return {check.destination, check.refusal};
}

// How many worksheets the office counts in a workbook; -1 when it cannot open it, which the
// run itself would report.
int worksheetsOf(qp::OfficeApplication& office, const QString& workbook) {
    try {
        const std::unique_ptr<qp::OfficeDocument> document = office.open(workbook);
        const int count = document->sheetCount();
        document->close();
        return count;
    } catch (const qp::AppError&) {
        return -1;
    }
}

// quirepress --print: the window's batch run without a window, for scripts, cron and ssh.
int printFromShell(const qp::CommandLine& command) {
    QTextStream err(stderr);
    const std::optional<qp::ShellEntries> entries =
        qp::shellEntries(command.files, command.recursive, err);
    if (!entries)
        return qp::CommandLine::NotRunStatus;
    // Before anything prints: a script learns of a wrong destination or option at once.
    const QString destination = qp::acceptedDestination(checkJob, command.options, err);
    if (destination.isEmpty())
        return qp::CommandLine::NotRunStatus;

    qp::IniSettingsStore stored(qp::IniSettingsStore::defaultConfigDir());
    qp::ReadOnlySettings settings(stored, QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/quirepress-pdf-server"));
    if (command.dryRun) {
        // Nothing runs but this: the office is asked only for the workbooks' worksheets.
        qp::LibreOfficeApplication office(settings);
        QTextStream out(stdout);
        qp::listJobs(
            entries->entries, destination, command.options,
            [&office](const QString& workbook) { return worksheetsOf(office, workbook); }, out);
        office.shutdown();
        return 0;
    }
    // Before anything else touches the session bus.
    qp::SessionBusForRun bus;
    if (!bus.problem().isEmpty()) {
        err << qp::messages::shellPrefix() << bus.problem() << '\n';
        err.flush();
    }
    qp::LibreOfficeApplication office(settings);
    qp::QProcessProgramStarter starter;
    qp::DBusPdfPrintServer pdfServer;
    qp::ShellRun run(entries->entries, err, settings, office, starter, pdfServer, command.options,
                     entries->rejected);
    // An interrupt ends the run after the entry under way, and the office with the program.
    qp::StopSignals stopSignals;
    QObject::connect(&stopSignals, &qp::StopSignals::received, &run, &qp::ShellRun::stop);
    QObject::connect(&run, &qp::ShellRun::finished, &run,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &run, &qp::ShellRun::start);
    return QCoreApplication::exec();
}

// quirepress --watch DIR: a hot folder, until SIGTERM or SIGINT.
int watchFolder(const qp::CommandLine& command) {
    QTextStream err(stderr);
    const QString destination = qp::acceptedDestination(checkJob, command.options, err);
    if (destination.isEmpty())
        return qp::CommandLine::NotRunStatus;
    qp::IniSettingsStore stored(qp::IniSettingsStore::defaultConfigDir());
    qp::ReadOnlySettings settings(stored, QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/quirepress-pdf-server"));
    qp::SessionBusForRun bus;
    if (!bus.problem().isEmpty()) {
        err << qp::messages::shellPrefix() << bus.problem() << '\n';
        err.flush();
    }
    qp::LibreOfficeApplication office(settings);
    qp::QProcessProgramStarter starter;
    qp::DBusPdfPrintServer pdfServer;
    qp::FolderWatch::Setup setup{command.watchFolder, command.options,
                                 std::chrono::milliseconds(qRound64(command.settleSeconds * 1000))};
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

    const auto endProgram = [] {
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    };
    qp::MainWindow window({prompter, fileDialog, settings, office, starter, pdfServer, help,
                           QApplication::applicationDirPath(), endProgram,
                           qp::BatchFiles::userBatchFolder()});
    window.runStartupChecks();
    window.openFiles(files);
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
