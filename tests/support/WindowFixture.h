#pragma once

#include "help/HelpViewer.h"
#include "support/Fakes.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QTemporaryDir>
#include <memory>

namespace qp::test {

class RecordingHelpViewer : public HelpViewer {
public:
    void showContents(const QString& path, quintptr ownerWindow) override {
        paths << path;
        owners << ownerWindow;
    }
    QStringList paths;
    QList<quintptr> owners;
};

// A main window wired to fakes. Tests may swap the seams and the file dialog before window()
// is first called.
class WindowFixture {
public:
    MainWindow& window();
    template <typename T> T* find(const char* name) {
        return window().findChild<T*>(QLatin1String(name));
    }
    QStringList listEntries() { return window().entries(); }
    QAction* action(const char* name) { return find<QAction>(name); }

    FakePrompter prompter;
    FakeFileDialogBackend dialogs;
    FakeSettingsStore settings;
    UnusedOffice unusedOffice;
    UnusedProgramStarter unusedStarter;
    UnusedPdfPrintServer unusedPdfServer;
    RecordingHelpViewer help;
    OfficeApplication* office = &unusedOffice;
    ProgramStarter* starter = &unusedStarter;
    PdfPrintServer* pdfServer = &unusedPdfServer;
    FileDialogBackend* dialogBackend = &dialogs;
    QString executableDir = QStringLiteral("/opt/quirepress");
    QTemporaryDir dataHome;
    QString batchFolder = dataHome.filePath(QStringLiteral("Quirepress/BatchBin"));
    int endProgramCalls = 0;

private:
    std::unique_ptr<MainWindow> m_window;
};

} // namespace qp::test
