// Asks for help twice the way the main window does, through the real desktop services, and
// exits 3 if the program showed a window of its own, 2 on bad use, 0 otherwise.
//   help_open_probe <executable dir> <PATH for the launcher lookup>
#include "help/HelpLauncher.h"
#include "platform/DesktopHelpViewer.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    QApplication app(argc, argv);
    qputenv("PATH", argv[2]); // the desktop's handler is looked up when help is asked for
    qunsetenv("DESKTOP_LAUNCH");
    QWidget owner;
    owner.show();
    qp::DesktopHelpViewer viewer;
    for (int request = 0; request < 2; ++request)
        qp::HelpLauncher(viewer, QString::fromLocal8Bit(argv[1])).showContents(owner.winId());
    QTimer::singleShot(1500, [&] {
        int shown = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            shown += widget != &owner && widget->isVisible();
        app.exit(shown ? 3 : 0);
    });
    return app.exec();
}
