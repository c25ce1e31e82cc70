#pragma once

#include "app/StartupChecks.h"
#include "core/FileDialog.h"
#include "printing/BatchRunView.h"
#include "printing/PromptedRunReport.h"
#include "ui/QuestionGate.h"
#include "ui/Twips.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;

namespace qp {

class OfficeApplication;
class BatchListWidget;
class BatchRun;
class HelpViewer;
class PdfPrintServer;
class ProgramStarter;
class Prompter;
class SettingsStore;

// Everything the main window works with, passed in so that tests can swap in fakes.
struct MainWindowServices {
    Prompter& prompter;
    FileDialogBackend& fileDialogBackend;
    SettingsStore& settings;
    OfficeApplication& office;
    ProgramStarter& programStarter;
    PdfPrintServer& pdfServer;
    HelpViewer& helpViewer;
    QString executableDir;            // the folder that holds the program
    std::function<void()> endProgram; // closes the windows and ends the event loop
    QString batchFolder;              // where the Open and Save Batch dialogs start
};

// The main window: the batch list and everything that edits, prints, saves and opens it.
// Its code is split by what a change is about: MainWindow.cpp builds the window and handles
// its keys and menus, MainWindowListEditing.cpp edits the list, MainWindowBatchFiles.cpp
// opens and saves batch files, and MainWindowRunView.cpp is what the batch run and the
// start-up checks see of the window.
class MainWindow : public QMainWindow, private BatchRunView, private StartupView {
    Q_OBJECT
public:
    static constexpr int MaxEntries = 32767;

    explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Call once, before the window is first shown.
    void runStartupChecks();

    QStringList entries() const;
    // True while a batch run is under way.
    bool isPrinting() const;
    BatchRun& batchRun() { return *m_batchRun; }
    bool skipSaveOffer() const override { return m_skipSaveOffer; }
    SharedFileDialog& fileDialog() { return m_fileDialog; }

    // Files given on the program's command line: a batch file (.qpb, in any case) is opened as
    // File > Open Batch opens it, any other file is added to the list as Add adds a path.
    void openFiles(const QStringList& files);

public Q_SLOTS:
    void addTypedPath() override;
    void browseForFile();
    void clearList();
    void exitProgram();
    void openBatchFile();
    void saveBatchFile();
    void showHelpContents();
    void showAbout();
    void printBatch();
    void locatePdfServer();
    void addDroppedFiles(const QStringList& paths);
    // A signal to end the program (a logout without a session manager, kill): as Yes to the
    // question a close asks during a run, with nobody to ask.
    void endWithoutAsking();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void setTabOrderAndNames();
    void applyMinimumSize();
    // The frame the platform adds around the window, estimated from the design until the
    // window is shown and measured afterwards.
    QSize frameMargins() const;
    bool belongsToThisWindow(QObject* object) const;
    // Input that a run does not take: the window only paints, moves and shows help meanwhile.
    static bool swallowedDuringRun(QEvent* event);
    // A request to close while a run is under way: stop it after the current entry?
    void askToStopAndExit();
    void runFinished();
    void questionAnswered();

    // Appends one entry, or tells the user the list is full and returns false.
    bool appendEntry(const QString& entry);
    // Appends one entry read from a batch file; throws AppError when the list is full.
    void appendBatchEntry(const QString& entry);
    void handleListKey(int key);
    void pathEdited();
    void updateFileMenu();

    // BatchRunView
    int entryCount() const override;
    QString entry(int index) const override;
    QString typedPath() const override;
    void clearTypedPath() override;
    void startProgress(int total) override;
    void setProgress(int done, int total) override;
    void setStatus(const QString& text) override;
    void showBusyPointer() override;
    void restoreDefaultPointer() override;
    void setSkipSaveOffer(bool value) override { m_skipSaveOffer = value; }
    void saveBatch() override { saveBatchFile(); }

    // BatchRunView and StartupView
    void showLocatePdfServer() override;
    void setReadyState() override;
    void centreOnScreen() override;

    MainWindowServices m_services;
    QuestionGate m_questions;
    SharedFileDialog m_fileDialog;
    StartupChecks m_startup;
    PromptedRunReport m_runReport;
    std::unique_ptr<BatchRun> m_batchRun;
    bool m_exitAfterRun = false;
    bool m_closePending = false; // a close asked for while a question was open
    bool m_skipSaveOffer = false;
    bool m_centred = false;
    bool m_shownOnce = false;
    TwipScale m_twips;

    QGroupBox* m_filesFrame = nullptr;
    QLabel* m_pathLabel = nullptr;
    QLineEdit* m_pathEdit = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_addButton = nullptr;
    BatchListWidget* m_batchList = nullptr;
    QPushButton* m_clearButton = nullptr;
    QPushButton* m_printButton = nullptr;
    QLabel* m_progressLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_statusLabel = nullptr;

    QMenu* m_fileMenu = nullptr;
    QAction* m_browseAction = nullptr;
    QAction* m_clearListAction = nullptr;
    QAction* m_openBatchAction = nullptr;
    QAction* m_saveBatchAction = nullptr;
    QAction* m_locatePdfServerAction = nullptr;
    QAction* m_locateSeparator = nullptr;
    QAction* m_exitAction = nullptr;
    QMenu* m_helpMenu = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_contentsAction = nullptr;
};

} // namespace qp
