// Asks for help twice per folder like the main window, exits 3 if it showed a window of its own:
//   help_open_probe (<executable dir> <PATH for the launcher lookup>)...
#include "help/HelpLauncher.h"
#include "platform/DesktopHelpViewer.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qunsetenv("DESKTOP_LAUNCH");
    QWidget owner;
    owner.show();
    qp::DesktopHelpViewer viewer;
    for (int arg = 1; arg + 1 < argc; arg += 2) {
        qputenv("PATH", argv[arg + 1]); // the launcher is looked up when help is asked for
        for (int request = 0; request < 2; ++request)
            qp::HelpLauncher(viewer, QString::fromLocal8Bit(argv[arg])).showContents(owner.winId());
    }
    QTimer::singleShot(500, [&] {
        int shown = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            shown += widget != &owner && widget->isVisible();
        app.exit(shown ? 3 : 0);
    });
    return app.exec();
}
