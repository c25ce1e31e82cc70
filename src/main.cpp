#include "app/CommandLine.h"
#include "app/ShellRun.h"
#include "batches/BatchFiles.h"
#include "core/Messages.h"
#include "platform/DesktopHelpViewer.h"
#include "platform/IniSettingsStore.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/StopSignals.h"
#include "platform/dbus/DBusPdfPrintServer.h"
#include "platform/dbus/SessionBusForRun.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
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

// quirepress --print: the window's batch run without a window, for scripts, cron and ssh.
int printFromShell(const QStringList& files) {
    QTextStream err(stderr);
    const std::optional<QStringList> entries = qp::shellEntries(files, err);
    if (!entries)
        return qp::CommandLine::NotRunStatus;

    qp::IniSettingsStore stored(qp::IniSettingsStore::defaultConfigDir());
    qp::ReadOnlySettings settings(stored, QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/quirepress-pdf-server"));
    // Before anything else touches the session bus.
    qp::SessionBusForRun bus;
    if (!bus.problem().isEmpty()) {
        err << qp::messages::shellPrefix() << bus.problem() << '\n';
        err.flush();
    }
    qp::LibreOfficeApplication office(settings);
    qp::QProcessProgramStarter starter;
    qp::DBusPdfPrintServer pdfServer;
    qp::ShellRun run(*entries, err, settings, office, starter, pdfServer);
    // An interrupt ends the run after the entry under way, and the office with the program.
    qp::StopSignals stopSignals;
    QObject::connect(&stopSignals, &qp::StopSignals::received, &run, &qp::ShellRun::stop);
    QObject::connect(&run, &qp::ShellRun::finished, &run,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &run, &qp::ShellRun::start);
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
        if (command.mode != qp::CommandLine::Mode::Print)
            return command.exitStatus;
        return printFromShell(command.files);
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
        return printFromShell(command.files);
    case qp::CommandLine::Mode::Finished:
        break;
    }
    return command.exitStatus;
}
