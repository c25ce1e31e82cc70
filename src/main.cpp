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

    qp::frmWrdPrint window({prompter, fileDialog, settings, office, starter, conversation, help,
                            QApplication::applicationDirPath(),
                            [] {
                                QApplication::closeAllWindows();
                                QCoreApplication::exit(0);
                            }});
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
