#pragma once

#include "app/StartupChecks.h"
#include "core/FileDialog.h"
#include "printing/BatchRunView.h"
#include "ui/Twips.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QProgressBar;
class QPushButton;

namespace qp {

class OfficeApplication;
class BatchListWidget;
class BatchRun;
class Conversation;
class HelpViewer;
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
    Conversation& conversation;
    HelpViewer& helpViewer;
    QString executableDir;            // the folder that holds the program
    std::function<void()> endProgram; // ends the program at once
    QString batchFolder;              // where the Open and Save Batch dialogs start
};

// The main window: the batch list and everything that edits, prints, saves and opens it.
class frmWrdPrint : public QMainWindow, private BatchRunView, private StartupView {
    Q_OBJECT
public:
    static constexpr int MaxEntries = 32767;

    explicit frmWrdPrint(MainWindowServices services, QWidget* parent = nullptr);
    ~frmWrdPrint() override;

    // The load sequence; call once, before the window is first shown.
    void Form_Load();

    QStringList entries() const;
    // True while a batch run is under way (it may be waiting for background printing).
    bool isPrinting() const;
    bool skipSaveOffer() const override { return m_skipSaveOffer; }
    FileDialog& dlgWrd() { return m_dlgWrd; }

    // Files given on the program's command line: a batch file (.qpb, in any case) is opened as
    // File > Open Batch opens it, any other file is added to the list as Add adds a path.
    void openFiles(const QStringList& files);

    // Handlers, public so that tests can call what a click would.
    void cmdAdd_Click();
    void cmdBrowse_Click();
    void mnuClearList_Click();
    void mnuFileExit_Click();
    void mnuOpenBatch_Click();
    void mnuSaveBatch_Click();
    void mnuContents_Click();
    void mnuAbout_Click();
    void cmdExecute_Click();
    void mnuLocateAcro_Click();
    void lstFiles_OLEDragDrop(const QMimeData* data);

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

    // Appends one entry, or tells the user the list is full and returns false.
    bool appendEntry(const QString& entry);
    // Appends one entry read from a batch file; throws AppError when the list is full.
    void appendBatchEntry(const QString& entry);
    void lstFiles_KeyUp(int key);
    void txtfiletoadd_Change();
    void mnuFile_Click();

    // BatchRunView
    int entryCount() const override;
    QString entry(int index) const override;
    QString pathToAdd() const override;
    void addPathToAdd() override { cmdAdd_Click(); }
    void clearPathToAdd() override;
    double progressMaximum() const override;
    double progressMinimum() const override;
    void setProgressMaximum(double value) override;
    void setProgressMinimum(double value) override;
    void setProgressValue(double value) override;
    void showProgress() override;
    void setStatus(const QString& text) override;
    void showBusyPointer() override;
    void restoreDefaultPointer() override;
    void setSkipSaveOffer(bool value) override { m_skipSaveOffer = value; }
    void saveBatch() override { mnuSaveBatch_Click(); }
    void repaintNow() override;
    void yieldToEvents() override;

    // BatchRunView and StartupView
    void showLocateAcrobat() override;
    void setReadyState() override { SetReadyState(); }
    void centreOnScreen() override;

    void SetReadyState();

    MainWindowServices m_services;
    FileDialog m_dlgWrd;
    StartupChecks m_startup;
    std::unique_ptr<BatchRun> m_batchRun;
    bool m_skipSaveOffer = false;
    bool m_centred = false;
    bool m_shownOnce = false;
    TwipScale m_twips;

    QGroupBox* fraWrd = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtfiletoadd = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdAdd = nullptr;
    BatchListWidget* lstFiles = nullptr;
    QPushButton* cmdclear = nullptr;
    QPushButton* cmdExecute = nullptr;
    QLabel* progresslabel = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* sbPrintStat = nullptr;
    QLineEdit* Text1 = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileAdd = nullptr;
    QAction* mnuClearList = nullptr;
    QAction* mnuOpenBatch = nullptr;
    QAction* mnuSaveBatch = nullptr;
    QAction* mnuLocateAcro = nullptr;
    QAction* mnuLine5 = nullptr;
    QAction* mnuFileExit = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuContents = nullptr;
};

} // namespace qp
