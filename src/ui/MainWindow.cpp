#include "ui/MainWindow.h"

#include "core/Messages.h"
#include "core/Prompter.h"
#include "help/HelpLauncher.h"
#include "printing/BatchRun.h"
#include "printing/EntryKind.h"
#include "printing/OfficeDocument.h"
#include "ui/AboutDialog.h"
#include "ui/BatchListWidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QStatusBar>
#include <QTimer>

// The icons live in the program's library; a static library's resources must be
// registered by name before use.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace qp {

namespace {

// Design lengths, in twips (15 to a pixel at 96 dpi).
constexpr int kClientWidth = 5865;
constexpr int kClientHeight = 4755;
constexpr int kMinOuterWidth = 5985;
constexpr int kMinOuterHeight = 5445;
constexpr int kStatusHeight = 375;

} // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)),
      m_questions(
          m_services.prompter, [this] { m_batchRun->pause(); }, [this] { questionAnswered(); }),
      m_fileDialog(m_services.fileDialogBackend),
      m_startup(*this, m_services.settings, m_questions, m_fileDialog, m_services.executableDir),
      m_runReport(m_questions),
      m_batchRun(std::make_unique<BatchRun>(static_cast<BatchRunView&>(*this), m_runReport,
                                            m_services.settings, m_services.office,
                                            m_services.programStarter, m_services.pdfServer)) {
    connect(m_batchRun.get(), &BatchRun::finished, this, &MainWindow::runFinished);
    // The desktop's session ending is a close request like any other.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!isPrinting())
            return;
        if (m_questions.isOpen())
            m_closePending = true;
        else if (manager.allowsInteraction()) {
            askToStopAndExit();
            manager.release();
        }
        if (!m_exitAfterRun)
            manager.cancel();
    });
    initIconResources();
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(messages::applicationTitle());
    setWindowIcon(QIcon(QStringLiteral(":/icons/quirepress.png")));
    if (QScreen* s = screen())
        m_twips = TwipScale(s->logicalDotsPerInch());

    buildControls();
    buildMenus();
    setTabOrderAndNames();

    resize(m_twips.px(kClientWidth), m_twips.px(kClientHeight) + menuBar()->sizeHint().height());
    applyMinimumSize();
    m_batchList->setFocus();

    // F1, Enter and Esc act anywhere in this window, whichever control has the focus.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
}

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(client);

    m_filesFrame = new QGroupBox(QStringLiteral("Office files to process"), client);
    m_filesFrame->setGeometry(m_twips.rect(120, 120, 5535, 3615));

    m_pathLabel = new QLabel(QStringLiteral("File to add"), m_filesFrame);
    m_pathLabel->setGeometry(m_twips.rect(240, 360, 975, 255));

    m_pathEdit = new QLineEdit(m_filesFrame);
    m_pathEdit->setGeometry(m_twips.rect(120, 600, 3975, 375));
    m_pathLabel->setBuddy(m_pathEdit);
    connect(m_pathEdit, &QLineEdit::textChanged, this, &MainWindow::pathEdited);

    m_browseButton = new QPushButton(QStringLiteral("..."), m_filesFrame);
    m_browseButton->setGeometry(m_twips.rect(4200, 600, 375, 375));
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(12);
    arial.setBold(true);
    m_browseButton->setFont(arial);
    m_browseButton->setToolTip(QStringLiteral("Browse"));
    connect(m_browseButton, &QPushButton::clicked, this, &MainWindow::browseForFile);

    m_addButton = new QPushButton(QStringLiteral("&Add"), m_filesFrame);
    m_addButton->setGeometry(m_twips.rect(4680, 600, 735, 375));
    m_addButton->setToolTip(QStringLiteral("Add file to Batch"));
    m_addButton->setDefault(true);
    connect(m_addButton, &QPushButton::clicked, this, &MainWindow::addTypedPath);

    m_batchList = new BatchListWidget(m_filesFrame);
    m_batchList->setGeometry(m_twips.rect(120, 1080, 5295, 1815));
    // An Office entry will need the office: start it now, while the user is still busy with
    // the list, rather than when "Print Batch" is pressed.
    connect(m_batchList->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row)
                    if (!isPdfEntry(m_batchList->item(row)->text())) {
                        m_batchRun->prepareOffice();
                        return;
                    }
            });
    // Handled once the drop has returned: the file manager that started the drag waits for
    // the drop's end, and would otherwise wait until every message box was answered.
    connect(m_batchList, &BatchListWidget::dropped, this, &MainWindow::addDroppedFiles,
            Qt::QueuedConnection);
    connect(m_batchList, &BatchListWidget::keyReleased, this,
            [this](int key, Qt::KeyboardModifiers, bool autoRepeat) {
                if (!autoRepeat)
                    handleListKey(key);
            });

    // The two picture buttons lie over the frame's lower right corner, in front of it.
    const QSize pictureSize = QSize(32, 32) * m_twips.factor();
    m_clearButton = new QPushButton(client);
    m_clearButton->setGeometry(m_twips.rect(4200, 3120, 615, 495));
    m_clearButton->setIcon(QIcon(QStringLiteral(":/icons/clear.png")));
    m_clearButton->setIconSize(pictureSize);
    m_clearButton->setToolTip(QStringLiteral("Clear"));
    connect(m_clearButton, &QPushButton::clicked, this, &MainWindow::clearList);

    m_printButton = new QPushButton(client);
    m_printButton->setGeometry(m_twips.rect(4920, 3120, 615, 495));
    m_printButton->setIcon(QIcon(QStringLiteral(":/icons/print.png")));
    m_printButton->setIconSize(QSize(33, 29) * m_twips.factor());
    m_printButton->setToolTip(QStringLiteral("Print Batch"));
    connect(m_printButton, &QPushButton::clicked, this, &MainWindow::printBatch);
    m_clearButton->raise();
    m_printButton->raise();

    m_progressLabel = new QLabel(QStringLiteral("Progress:"), client);
    m_progressLabel->setGeometry(m_twips.rect(120, 3840, 1815, 255));
    QFont bold(QStringLiteral("MS Sans Serif"));
    bold.setPointSizeF(8.25);
    bold.setBold(true);
    m_progressLabel->setFont(bold);
    m_progressLabel->hide();

    m_progressBar = new QProgressBar(client);
    m_progressBar->setGeometry(m_twips.rect(120, 4080, 5535, 255));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->hide();

    // One line of text that opening a menu does not wipe, unlike QStatusBar's messages.
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(m_twips.px(kStatusHeight));
    m_statusLabel = new QLabel(bar);
    // Entries are file names, and a file may be named like markup.
    m_statusLabel->setTextFormat(Qt::PlainText);
    // A permanent widget: QStatusBar hides its ordinary widgets while a temporary message
    // (such as a menu entry's status tip) is shown.
    bar->addPermanentWidget(m_statusLabel, 1);
    setStatusBar(bar);
}

void MainWindow::buildMenus() {
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("fileMenu"));
    connect(m_fileMenu, &QMenu::aboutToShow, this, &MainWindow::updateFileMenu);

    auto addEntry = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    auto addLine = [](QMenu* menu, const char* name) {
        QAction* line = menu->addSeparator();
        line->setObjectName(QLatin1String(name));
        return line;
    };

    m_browseAction = addEntry(m_fileMenu, "browseAction", QStringLiteral("&Browse..."));
    connect(m_browseAction, &QAction::triggered, this, &MainWindow::browseForFile);
    m_clearListAction = addEntry(m_fileMenu, "clearListAction", QStringLiteral("&Clear List"));
    connect(m_clearListAction, &QAction::triggered, this, &MainWindow::clearList);
    addLine(m_fileMenu, "listSeparator");
    m_openBatchAction = addEntry(m_fileMenu, "openBatchAction", QStringLiteral("&Open Batch"));
    connect(m_openBatchAction, &QAction::triggered, this, &MainWindow::openBatchFile);
    m_saveBatchAction = addEntry(m_fileMenu, "saveBatchAction", QStringLiteral("&Save Batch"));
    connect(m_saveBatchAction, &QAction::triggered, this, &MainWindow::saveBatchFile);
    addLine(m_fileMenu, "batchSeparator");
    m_locatePdfServerAction =
        addEntry(m_fileMenu, "locatePdfServerAction", QStringLiteral("&Locate Acrobat"));
    m_locatePdfServerAction->setVisible(false);
    connect(m_locatePdfServerAction, &QAction::triggered, this, &MainWindow::locatePdfServer);
    m_locateSeparator = addLine(m_fileMenu, "locateSeparator");
    m_locateSeparator->setVisible(false);
    m_exitAction = addEntry(m_fileMenu, "exitAction", QStringLiteral("&Exit"));
    connect(m_exitAction, &QAction::triggered, this, &MainWindow::exitProgram);

    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    m_helpMenu->setObjectName(QStringLiteral("helpMenu"));
    m_aboutAction = addEntry(m_helpMenu, "aboutAction", QStringLiteral("About Quirepress"));
    connect(m_aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
    addLine(m_helpMenu, "helpSeparator");
    m_contentsAction = addEntry(m_helpMenu, "contentsAction", QStringLiteral("&Contents"));
    connect(m_contentsAction, &QAction::triggered, this, &MainWindow::showHelpContents);
}

void MainWindow::setTabOrderAndNames() {
    const std::pair<QWidget*, const char*> named[] = {
        {m_filesFrame, "filesFrame"},       {m_pathLabel, "pathLabel"},
        {m_pathEdit, "pathEdit"},           {m_browseButton, "browseButton"},
        {m_addButton, "addButton"},         {m_batchList, "batchList"},
        {m_clearButton, "clearButton"},     {m_printButton, "printButton"},
        {m_progressLabel, "progressLabel"}, {m_progressBar, "progressBar"},
        {m_statusLabel, "statusLabel"},
    };
    for (const auto& [widget, name] : named)
        widget->setObjectName(QLatin1String(name));

    m_filesFrame->setAccessibleName(m_filesFrame->title());
    m_pathLabel->setAccessibleName(m_pathLabel->text());
    m_pathEdit->setAccessibleName(QStringLiteral("File to add"));
    m_browseButton->setAccessibleName(QStringLiteral("Browse"));
    m_addButton->setAccessibleName(QStringLiteral("Add"));
    m_batchList->setAccessibleName(QStringLiteral("Office files to process"));
    m_clearButton->setAccessibleName(QStringLiteral("Clear"));
    m_printButton->setAccessibleName(QStringLiteral("Print Batch"));
    m_progressLabel->setAccessibleName(QStringLiteral("Progress:"));
    m_progressBar->setAccessibleName(QStringLiteral("Progress"));
    // The status line has no fixed name: assistive tools read what it shows, as it changes.

    // The Tab key visits the list, the path box, Print Batch, Add, Browse, then Clear.
    QWidget* order[] = {m_batchList, m_pathEdit,     m_printButton,
                        m_addButton, m_browseButton, m_clearButton};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

QSize MainWindow::frameMargins() const {
    if (m_shownOnce)
        return frameGeometry().size() - geometry().size();
    return QSize(m_twips.px(kMinOuterWidth - kClientWidth),
                 m_twips.px(kMinOuterHeight - kClientHeight) - menuBar()->sizeHint().height());
}

// The window may not become smaller than its design's outer size; Qt sizes the window
// without its frame, so the frame is taken off.
void MainWindow::applyMinimumSize() {
    const QSize frame = frameMargins();
    setMinimumSize(std::max(0, m_twips.px(kMinOuterWidth) - frame.width()),
                   std::max(0, m_twips.px(kMinOuterHeight) - frame.height()));
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // The window manager adds the frame after the window is mapped.
    QTimer::singleShot(100, this, [this] {
        applyMinimumSize();
        if (m_centred)
            centreOnScreen();
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_exitAfterRun && !isPrinting()) { // the program ends
        QMainWindow::closeEvent(event);
        return;
    }
    // One question at a time: the close is handled once the open one is answered.
    if (m_questions.isOpen()) {
        event->ignore();
        m_closePending = true;
        return;
    }
    // The run must not go on printing behind a closed window, nor be cut off in the middle
    // of a document.
    if (isPrinting()) {
        event->ignore();
        askToStopAndExit();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::askToStopAndExit() {
    if (m_exitAfterRun)
        return;
    if (!m_questions.askYesNo(
            QStringLiteral("A batch is being printed. Would you like to stop printing after the "
                           "current document and exit?"),
            QStringLiteral("Stop printing..."), PromptIcon::Question))
        return;
    // The run may have ended while the question was open.
    m_exitAfterRun = true;
    if (isPrinting())
        m_batchRun->requestStop();
    else
        runFinished();
}

void MainWindow::runFinished() {
    if (m_exitAfterRun)
        m_services.endProgram();
}

void MainWindow::questionAnswered() {
    if (!m_closePending) {
        m_batchRun->resume();
        return;
    }
    m_closePending = false;
    // Once the answer has been acted on, and before the run takes its next step.
    QMetaObject::invokeMethod(
        this,
        [this] {
            close();
            m_batchRun->resume();
        },
        Qt::QueuedConnection);
}

void MainWindow::endWithoutAsking() {
    m_exitAfterRun = true;
    m_closePending = false;
    if (isPrinting())
        m_batchRun->requestStop();
    // An open box is answered as its Esc key would (No); a run question then ends the run.
    if (QWidget* box = QApplication::activeModalWidget())
        box->close();
    if (!isPrinting())
        m_services.endProgram();
}

bool MainWindow::isPrinting() const {
    return m_batchRun->isRunning();
}

bool MainWindow::belongsToThisWindow(QObject* object) const {
    auto* widget = qobject_cast<QWidget*>(object);
    return widget && widget->window() == this && !QApplication::activePopupWidget();
}

bool MainWindow::swallowedDuringRun(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Taken as the widget's own key, so that no shortcut or mnemonic fires either.
        event->accept();
        [[fallthrough]];
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // F1 still shows the help.
        return static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (isPrinting() && belongsToThisWindow(watched) && swallowedDuringRun(event))
        return true;
    const bool keyEvent = event->type() == QEvent::KeyRelease || event->type() == QEvent::KeyPress;
    if (!keyEvent || !belongsToThisWindow(watched))
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::KeyRelease) {
        if (key->key() == Qt::Key_F1 && !key->isAutoRepeat()) {
            showHelpContents();
            return true;
        }
        return false;
    }
    if (qobject_cast<QMenuBar*>(watched))
        return false;
    // Enter presses the focused push button, or Add; Esc presses Clear.
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        auto* focusedButton = qobject_cast<QPushButton*>(QApplication::focusWidget());
        (focusedButton && focusedButton->window() == this ? focusedButton : m_addButton)->click();
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        m_clearButton->click();
        return true;
    }
    return false;
}

void MainWindow::runStartupChecks() {
    m_startup.run();
}

void MainWindow::locatePdfServer() {
    m_startup.locatePdfServer();
}

void MainWindow::exitProgram() {
    if (isPrinting()) {
        askToStopAndExit();
        return;
    }
    if (m_batchList->count() > 0 &&
        !m_questions.askYesNo(
            QStringLiteral("You haven't run the job. Are you sure you want to exit?"), QString(),
            PromptIcon::Critical))
        return;
    m_services.endProgram();
}

void MainWindow::showHelpContents() {
    HelpLauncher(m_services.helpViewer, m_questions, m_services.executableDir)
        .showContents(static_cast<quintptr>(winId()));
}

void MainWindow::showAbout() {
    AboutDialog::showModal();
}

void MainWindow::printBatch() {
    m_batchRun->start();
}

} // namespace qp
