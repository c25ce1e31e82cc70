#pragma once

#include "help/HelpViewer.h"
#include "support/Fakes.h"
#include "ui/MainWindow.h"

#include <QTemporaryDir>
#include <memory>

namespace qp::test {

struct RecordingHelpViewer : HelpViewer {
    void showContents(const QString& path, quintptr ownerWindow) override {
        paths << path;
        owner = ownerWindow;
    }
    QStringList paths;
    quintptr owner = 0;
};

// A main window wired to fakes.
class WindowFixture {
public:
    MainWindow& window();
    // Start-up with the PDF program already known, then the window on screen.
    void showReadyWindow();
    template <typename T = QWidget> T* find(const char* name) {
        return window().findChild<T*>(QLatin1String(name));
    }

    FakePrompter prompter;
    FakeFileDialogBackend dialogs;
    FakeSettingsStore settings;
    QStringList officeJournal;
    FakeOffice office{officeJournal};
    FakePdfProgram pdf{officeJournal}; // the PDF program and its server
    RecordingHelpViewer help;
    QTemporaryDir dataHome;
    int endProgramCalls = 0;

private:
    std::unique_ptr<MainWindow> m_window;
};

} // namespace qp::test
