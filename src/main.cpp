#include "platform/DesktopHelpViewer.h"
#include "platform/IniSettingsStore.h"
#include "platform/QProcessProgramStarter.h"
#include "platform/dbus/DBusConversation.h"
#include "platform/libreoffice/LibreOfficeAutomation.h"
#include "ui/MainWindow.h"
#include "ui/QtFileDialogBackend.h"
#include "ui/QtPrompter.h"

#include <QApplication>
#include <QIcon>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quirepress"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quirepress.png")));

    qp::QtPrompter prompter;
    qp::QtFileDialogBackend fileDialog;
    qp::IniSettingsStore settings(qp::IniSettingsStore::defaultConfigDir());
    qp::LibreOfficeAutomation office(settings);
    qp::QProcessProgramStarter starter;
    qp::DBusConversation conversation;
    qp::DesktopHelpViewer help;

    qp::frmWrdPrint* mainWindow = nullptr;
    const auto endProgram = [&mainWindow] {
        // A run waiting for background printing sits in a nested event loop that would go on
        // printing after the main loop was told to stop: end the process at once instead.
        // LibreOffice dies with it, since it is started to end when its parent ends.
        if (mainWindow && mainWindow->isPrinting())
            std::exit(0);
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    };
    qp::frmWrdPrint window({prompter, fileDialog, settings, office, starter, conversation, help,
                            QApplication::applicationDirPath(), endProgram});
    mainWindow = &window;
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
