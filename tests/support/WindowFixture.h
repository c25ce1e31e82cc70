#pragma once

#include "help/HelpViewer.h"
#include "printing/OfficeDocument.h"
#include "printing/PdfPrintServer.h"
#include "printing/ProgramStarter.h"
#include "support/Fakes.h"
#include "ui/MainWindow.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace qp::test {

// Seams a window test does not exercise: any use fails the test.
class UnusedOffice : public OfficeApplication {
public:
    std::unique_ptr<OfficeDocument> open(const QString& path) override;
};
class UnusedProgramStarter : public ProgramStarter {
public:
    void start(const QString& program) override;
};
class UnusedPdfPrintServer : public PdfPrintServer {
public:
    void connect() override;
    void openDocument(const QString& path, Timeout) override { unexpected(path); }
    void printDocument(const QString& path, Timeout) override { unexpected(path); }
    void disconnect() override {}

private:
    static void unexpected(const QString& path);
};

class RecordingHelpViewer : public HelpViewer {
public:
    void showContents(const QString& path, quintptr ownerWindow) override {
        paths << path;
        owners << ownerWindow;
    }
    QStringList paths;
    QList<quintptr> owners;
};

// A main window wired to fakes. Tests may swap the printing seams and the file dialog before
// window() is first called.
class WindowFixture {
public:
    WindowFixture();
    ~WindowFixture();

    MainWindow& window();
    template <typename T> T* find(const char* name) {
        return window().findChild<T*>(QLatin1String(name));
    }
    QStringList listEntries();
    QAction* action(const char* name);

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
