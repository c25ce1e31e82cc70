// Asks for help the way the main window does, with the real desktop services of the
// platform the probe runs on, and reports whether the program showed a window of its own.
//   help_open_probe <executable dir> <PATH for the launcher lookup>
// Exit 0: nothing of the program's own was shown and it is still running; 2: bad use;
// 3: a window was shown.
#include "help/HelpLauncher.h"
#include "platform/DesktopHelpViewer.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: help_open_probe <executable dir> <PATH>\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString executableDir = QString::fromLocal8Bit(argv[1]);
    // The desktop's handler is looked up on the PATH of the moment help is asked for.
    qputenv("PATH", argv[2]);
    qunsetenv("DESKTOP_LAUNCH");

    QWidget owner;
    owner.show();
    qp::DesktopHelpViewer viewer;
    qp::HelpLauncher(viewer, executableDir).showContents(owner.winId());
    qp::HelpLauncher(viewer, executableDir).showContents(owner.winId());

    int exitCode = 0;
    QTimer::singleShot(1500, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget != &owner && widget->isVisible()) {
                std::fprintf(stderr, "shown: %s \"%s\"\n", widget->metaObject()->className(),
                             qPrintable(widget->windowTitle()));
                exitCode = 3;
            }
        }
        app.quit();
    });
    app.exec();
    return exitCode;
}
