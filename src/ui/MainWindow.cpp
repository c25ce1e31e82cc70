#include "ui/MainWindow.h"

#include "batches/modBatches.h"
#include "core/AppError.h"
#include "core/Prompter.h"
#include "help/modHelp.h"
#include "printing/BatchRun.h"
#include "printing/EntryKind.h"
#include "printing/OfficeDocument.h"
#include "ui/AboutWindow.h"
#include "ui/BatchListWidget.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

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

const QString kBrowseFilter = QStringLiteral("Word Files (*.doc)|*.doc|Excel Files (*.xls)") +
                              QStringLiteral("|*.xls|Presentation Files (*.ppt)|*.ppt") +
                              QStringLiteral("|Pdf Files (*.pdf)|*.pdf");

QString listFullMessage() {
    return QStringLiteral("The batch list cannot hold more than %1 entries.")
        .arg(frmWrdPrint::MaxEntries);
}

bool isDroppableKind(const QString& path) {
    const QString kind = path.right(3).toLower();
    return kind == QLatin1String("doc") || kind == QLatin1String("xls") ||
           kind == QLatin1String("ppt") || kind == QLatin1String("pdf");
}

} // namespace

frmWrdPrint::frmWrdPrint(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_dlgWrd(m_services.fileDialogBackend),
      m_startup(*this, m_services.settings, m_services.prompter, m_dlgWrd,
                m_services.executableDir),
      m_batchRun(std::make_unique<BatchRun>(static_cast<BatchRunView&>(*this), m_services.prompter,
                                            m_services.settings, m_services.office,
                                            m_services.programStarter, m_services.conversation)) {
    initIconResources();
    setObjectName(QStringLiteral("frmWrdPrint"));
    setWindowTitle(QStringLiteral("Quirepress"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/quirepress.png")));
    if (QScreen* s = screen())
        m_twips = TwipScale(s->logicalDotsPerInch());

    buildControls();
    buildMenus();
    setTabOrderAndNames();

    resize(m_twips.px(kClientWidth), m_twips.px(kClientHeight) + menuBar()->sizeHint().height());
    applyMinimumSize();
    lstFiles->setFocus();

    // F1, Enter and Esc act anywhere in this window, whichever control has the focus.
    qApp->installEventFilter(this);
}

frmWrdPrint::~frmWrdPrint() {
    qApp->removeEventFilter(this);
}

void frmWrdPrint::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    setCentralWidget(client);

    fraWrd = new QGroupBox(QStringLiteral("Office files to process"), client);
    fraWrd->setGeometry(m_twips.rect(120, 120, 5535, 3615));

    Label1 = new QLabel(QStringLiteral("File to add"), fraWrd);
    Label1->setGeometry(m_twips.rect(240, 360, 975, 255));

    txtfiletoadd = new QLineEdit(fraWrd);
    txtfiletoadd->setGeometry(m_twips.rect(120, 600, 3975, 375));
    Label1->setBuddy(txtfiletoadd);
    connect(txtfiletoadd, &QLineEdit::textChanged, this, [this] { txtfiletoadd_Change(); });

    cmdBrowse = new QPushButton(QStringLiteral("..."), fraWrd);
    cmdBrowse->setGeometry(m_twips.rect(4200, 600, 375, 375));
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(12);
    arial.setBold(true);
    cmdBrowse->setFont(arial);
    cmdBrowse->setToolTip(QStringLiteral("Browse"));
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });

    cmdAdd = new QPushButton(QStringLiteral("&Add"), fraWrd);
    cmdAdd->setGeometry(m_twips.rect(4680, 600, 735, 375));
    cmdAdd->setToolTip(QStringLiteral("Add file to Batch"));
    cmdAdd->setDefault(true);
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });

    lstFiles = new BatchListWidget(fraWrd);
    lstFiles->setGeometry(m_twips.rect(120, 1080, 5295, 1815));
    // An Office entry will need the office: start it now, while the user is still busy with
    // the list, rather than when "Print Batch" is pressed.
    connect(lstFiles->model(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row)
                    if (!isPdfEntry(lstFiles->item(row)->text())) {
                        m_services.office.prepare();
                        return;
                    }
            });
    connect(lstFiles, &BatchListWidget::dropped, this,
            [this](const QMimeData* data) { lstFiles_OLEDragDrop(data); });
    connect(lstFiles, &BatchListWidget::keyReleased, this,
            [this](int key, Qt::KeyboardModifiers, bool autoRepeat) {
                if (!autoRepeat)
                    lstFiles_KeyUp(key);
            });

    // The two picture buttons lie over the frame's lower right corner, in front of it.
    const QSize pictureSize = QSize(32, 32) * m_twips.factor();
    cmdclear = new QPushButton(client);
    cmdclear->setGeometry(m_twips.rect(4200, 3120, 615, 495));
    cmdclear->setIcon(QIcon(QStringLiteral(":/icons/clear.png")));
    cmdclear->setIconSize(pictureSize);
    cmdclear->setToolTip(QStringLiteral("Clear"));
    connect(cmdclear, &QPushButton::clicked, this, [this] { mnuClearList_Click(); });

    cmdExecute = new QPushButton(client);
    cmdExecute->setGeometry(m_twips.rect(4920, 3120, 615, 495));
    cmdExecute->setIcon(QIcon(QStringLiteral(":/icons/print.png")));
    cmdExecute->setIconSize(QSize(33, 29) * m_twips.factor());
    cmdExecute->setToolTip(QStringLiteral("Print Batch"));
    connect(cmdExecute, &QPushButton::clicked, this, [this] { cmdExecute_Click(); });
    cmdclear->raise();
    cmdExecute->raise();

    progresslabel = new QLabel(QStringLiteral("Progress:"), client);
    progresslabel->setGeometry(m_twips.rect(120, 3840, 1815, 255));
    QFont bold(QStringLiteral("MS Sans Serif"));
    bold.setPointSizeF(8.25);
    bold.setBold(true);
    progresslabel->setFont(bold);
    progresslabel->hide();

    Progress = new QProgressBar(client);
    Progress->setGeometry(m_twips.rect(120, 4080, 5535, 255));
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(false);
    Progress->hide();

    // The conversation with the PDF print server needs no visible presence; the box is kept
    // hidden so that the window holds the same controls on every platform.
    Text1 = new QLineEdit(QStringLiteral("DDE"), client);
    Text1->setGeometry(m_twips.rect(5040, 3840, 495, 285));
    Text1->hide();

    // One line of text that opening a menu does not wipe, unlike QStatusBar's messages.
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("sbPrintStatBar"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(m_twips.px(kStatusHeight));
    sbPrintStat = new QLabel(bar);
    // A permanent widget: QStatusBar hides its ordinary widgets while a temporary message
    // (such as a menu entry's status tip) is shown.
    bar->addPermanentWidget(sbPrintStat, 1);
    setStatusBar(bar);
}

void frmWrdPrint::buildMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    connect(mnuFile, &QMenu::aboutToShow, this, [this] { mnuFile_Click(); });

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

    mnuFileAdd = addEntry(mnuFile, "mnuFileAdd", QStringLiteral("&Browse..."));
    connect(mnuFileAdd, &QAction::triggered, this, [this] { cmdBrowse_Click(); });
    mnuClearList = addEntry(mnuFile, "mnuClearList", QStringLiteral("&Clear List"));
    connect(mnuClearList, &QAction::triggered, this, [this] { mnuClearList_Click(); });
    addLine(mnuFile, "mnuLine4");
    mnuOpenBatch = addEntry(mnuFile, "mnuOpenBatch", QStringLiteral("&Open Batch"));
    connect(mnuOpenBatch, &QAction::triggered, this, [this] { mnuOpenBatch_Click(); });
    mnuSaveBatch = addEntry(mnuFile, "mnuSaveBatch", QStringLiteral("&Save Batch"));
    connect(mnuSaveBatch, &QAction::triggered, this, [this] { mnuSaveBatch_Click(); });
    addLine(mnuFile, "mnuLine1");
    mnuLocateAcro = addEntry(mnuFile, "mnuLocateAcro", QStringLiteral("&Locate Acrobat"));
    mnuLocateAcro->setVisible(false);
    connect(mnuLocateAcro, &QAction::triggered, this, [this] { mnuLocateAcro_Click(); });
    mnuLine5 = addLine(mnuFile, "mnuLine5");
    mnuLine5->setVisible(false);
    mnuFileExit = addEntry(mnuFile, "mnuFileExit", QStringLiteral("&Exit"));
    connect(mnuFileExit, &QAction::triggered, this, [this] { mnuFileExit_Click(); });

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = addEntry(mnuHelp, "mnuAbout", QStringLiteral("About Quirepress"));
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
    addLine(mnuHelp, "mnuLine3");
    mnuContents = addEntry(mnuHelp, "mnuContents", QStringLiteral("&Contents"));
    connect(mnuContents, &QAction::triggered, this, [this] { mnuContents_Click(); });
}

void frmWrdPrint::setTabOrderAndNames() {
    const std::pair<QWidget*, const char*> named[] = {
        {fraWrd, "fraWrd"},       {Label1, "Label1"},           {txtfiletoadd, "txtfiletoadd"},
        {cmdBrowse, "cmdBrowse"}, {cmdAdd, "cmdAdd"},           {lstFiles, "lstFiles"},
        {cmdclear, "cmdclear"},   {cmdExecute, "cmdExecute"},   {progresslabel, "progresslabel"},
        {Progress, "Progress"},   {sbPrintStat, "sbPrintStat"}, {Text1, "Text1"},
    };
    for (const auto& [widget, name] : named)
        widget->setObjectName(QLatin1String(name));

    fraWrd->setAccessibleName(fraWrd->title());
    Label1->setAccessibleName(Label1->text());
    txtfiletoadd->setAccessibleName(QStringLiteral("File to add"));
    cmdBrowse->setAccessibleName(QStringLiteral("Browse"));
    cmdAdd->setAccessibleName(QStringLiteral("Add"));
    lstFiles->setAccessibleName(QStringLiteral("Office files to process"));
    cmdclear->setAccessibleName(QStringLiteral("Clear"));
    cmdExecute->setAccessibleName(QStringLiteral("Print Batch"));
    progresslabel->setAccessibleName(QStringLiteral("Progress:"));
    Progress->setAccessibleName(QStringLiteral("Progress"));
    // No fixed name: assistive tools then read what the status line shows, as it changes.
    Text1->setAccessibleName(QStringLiteral("DDE"));

    // The Tab key visits the list, the path box, Print Batch, Add, Browse, then Clear.
    QWidget* order[] = {lstFiles, txtfiletoadd, cmdExecute, cmdAdd, cmdBrowse, cmdclear};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

QSize frmWrdPrint::frameMargins() const {
    if (m_shownOnce)
        return frameGeometry().size() - geometry().size();
    return QSize(m_twips.px(kMinOuterWidth - kClientWidth),
                 m_twips.px(kMinOuterHeight - kClientHeight) - menuBar()->sizeHint().height());
}

// The window may not become smaller than its design's outer size; Qt sizes the window
// without its frame, so the frame is taken off.
void frmWrdPrint::applyMinimumSize() {
    const QSize frame = frameMargins();
    setMinimumSize(std::max(0, m_twips.px(kMinOuterWidth) - frame.width()),
                   std::max(0, m_twips.px(kMinOuterHeight) - frame.height()));
}

void frmWrdPrint::showEvent(QShowEvent* event) {
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

void frmWrdPrint::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    // Closing the window ends the program, also in the middle of a run that waits for
    // background printing: the run must not go on printing behind a closed window.
    if (event->isAccepted() && isPrinting())
        m_services.endProgram();
}

bool frmWrdPrint::isPrinting() const {
    return m_batchRun->isRunning();
}

void frmWrdPrint::centreOnScreen() {
    const QScreen* s = screen();
    if (!s)
        return;
    const QSize outer = size() + frameMargins();
    const QRect screenRect = s->geometry();
    move(screenRect.x() + screenRect.width() / 2 - outer.width() / 2,
         screenRect.y() + screenRect.height() / 2 - outer.height() / 2);
    m_centred = true;
}

bool frmWrdPrint::belongsToThisWindow(QObject* object) const {
    auto* widget = qobject_cast<QWidget*>(object);
    return widget && widget->window() == this && !QApplication::activePopupWidget();
}

bool frmWrdPrint::eventFilter(QObject* watched, QEvent* event) {
    const bool keyEvent = event->type() == QEvent::KeyRelease || event->type() == QEvent::KeyPress;
    if (!keyEvent || !belongsToThisWindow(watched))
        return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::KeyRelease) {
        if (key->key() == Qt::Key_F1 && !key->isAutoRepeat()) {
            mnuContents_Click();
            return true;
        }
        return false;
    }
    if (qobject_cast<QMenuBar*>(watched))
        return false;
    // Enter presses the focused push button, or Add; Esc presses Clear.
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        auto* focusedButton = qobject_cast<QPushButton*>(QApplication::focusWidget());
        (focusedButton && focusedButton->window() == this ? focusedButton : cmdAdd)->click();
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        cmdclear->click();
        return true;
    }
    return false;
}

void frmWrdPrint::Form_Load() {
    m_startup.Form_Load();
}

void frmWrdPrint::mnuLocateAcro_Click() {
    m_startup.mnuLocateAcro_Click();
}

void frmWrdPrint::SetReadyState() {
    lstFiles->clear();
    txtfiletoadd->setText(QString());
    sbPrintStat->setText(QStringLiteral("Ready"));
    Progress->hide();
    progresslabel->hide();
    restoreDefaultPointer();
    m_skipSaveOffer = false;
}

QStringList frmWrdPrint::entries() const {
    QStringList result;
    result.reserve(lstFiles->count());
    for (int i = 0; i < lstFiles->count(); ++i)
        result << lstFiles->item(i)->text();
    return result;
}

bool frmWrdPrint::appendEntry(const QString& entry) {
    if (lstFiles->count() >= MaxEntries) {
        m_services.prompter.tell(listFullMessage() + QStringLiteral("\r\n") + entry +
                                     QStringLiteral(" was not added."),
                                 QStringLiteral("Batch list full..."), PromptIcon::Exclamation);
        return false;
    }
    lstFiles->addItem(entry);
    return true;
}

void frmWrdPrint::txtfiletoadd_Change() {
    m_skipSaveOffer = false;
}

void frmWrdPrint::cmdAdd_Click() {
    const QString text = txtfiletoadd->text();
    if (!text.isEmpty()) {
        // A full list keeps the typed path in the box, so nothing is lost.
        if (!appendEntry(text))
            return;
        m_skipSaveOffer = false;
    }
    txtfiletoadd->setText(QString());
}

void frmWrdPrint::cmdBrowse_Click() {
    try {
        m_dlgWrd.Filter = kBrowseFilter;
        m_dlgWrd.FileName = QString();
        m_dlgWrd.DialogTitle = QStringLiteral("Open Office File");
        m_dlgWrd.ShowOpen();
        txtfiletoadd->setText(m_dlgWrd.FileName);
    } catch (const AppError& error) {
        if (error.number() == ErrorNumber::CancelError)
            return;
        m_services.prompter.tell(QString::number(error.number()) + QLatin1Char(' ') +
                                     error.description(),
                                 QStringLiteral("Error..."), PromptIcon::Critical);
    }
}

void frmWrdPrint::lstFiles_KeyUp(int key) {
    if (lstFiles->count() <= 0 || key != Qt::Key_Delete)
        return;
    const int row = lstFiles->currentRow();
    QListWidgetItem* item = row >= 0 ? lstFiles->item(row) : nullptr;
    if (!item || !item->isSelected())
        return;
    delete lstFiles->takeItem(row);
    // Nothing stays selected, so one key press removes one entry.
    lstFiles->setCurrentRow(-1);
    lstFiles->clearSelection();
    m_skipSaveOffer = false;
}

void frmWrdPrint::mnuClearList_Click() {
    if (lstFiles->count() > 0) {
        if (!m_services.prompter.askYesNo(
                QStringLiteral(
                    "This will clear your current job. Are you sure you want to do this?"),
                QStringLiteral("Clear List..."), PromptIcon::Exclamation))
            return;
        lstFiles->clear();
    }
    txtfiletoadd->setText(QString());
}

void frmWrdPrint::mnuFileExit_Click() {
    if (lstFiles->count() > 0 &&
        !m_services.prompter.askYesNo(
            QStringLiteral("You haven't run the job. Are you sure you want to exit?"), QString(),
            PromptIcon::Critical))
        return;
    m_services.endProgram();
}

void frmWrdPrint::lstFiles_OLEDragDrop(const QMimeData* data) {
    QStringList paths;
    if (data && data->hasUrls()) {
        const QList<QUrl> urls = data->urls();
        for (const QUrl& url : urls) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
    }
    if (paths.isEmpty()) {
        m_services.prompter.tell(QStringLiteral("The selected file is not a supported."),
                                 QStringLiteral("Not supported..."), PromptIcon::Exclamation);
        return;
    }
    for (const QString& path : paths) {
        if (!isDroppableKind(path)) {
            m_services.prompter.tell(
                QStringLiteral("File ") + path + QStringLiteral(" is not a supported file."),
                QStringLiteral("Improper file format..."), PromptIcon::Information);
            continue;
        }
        if (!appendEntry(path))
            return;
        m_skipSaveOffer = false;
    }
}

void frmWrdPrint::mnuFile_Click() {
    mnuSaveBatch->setEnabled(lstFiles->count() > 0);
}

void frmWrdPrint::appendBatchEntry(const QString& entry) {
    if (lstFiles->count() >= MaxEntries)
        throw AppError(ErrorNumber::ListFull, listFullMessage());
    lstFiles->addItem(entry);
}

void frmWrdPrint::mnuOpenBatch_Click() {
    lstFiles->setUpdatesEnabled(false);
    const bool opened =
        modBatches::OpenBatch(m_dlgWrd, m_services.prompter, m_services.batchFolder,
                              [this](const QString& entry) { appendBatchEntry(entry); });
    lstFiles->setUpdatesEnabled(true);
    if (opened)
        m_skipSaveOffer = true;
}

void frmWrdPrint::openFiles(const QStringList& files) {
    for (const QString& file : files) {
        if (file.isEmpty())
            continue;
        if (modBatches::isBatchFile(file)) {
            if (modBatches::OpenBatchFile(m_services.prompter, file, [this](const QString& entry) {
                    appendBatchEntry(entry);
                }))
                m_skipSaveOffer = true;
            continue;
        }
        // The file manager passes absolute paths; one typed in a terminal may be relative.
        if (!appendEntry(QDir::cleanPath(QFileInfo(file).absoluteFilePath())))
            return;
        m_skipSaveOffer = false;
    }
}

void frmWrdPrint::mnuSaveBatch_Click() {
    modBatches::SaveBatch(m_dlgWrd, m_services.prompter, m_services.batchFolder, entries());
}

void frmWrdPrint::mnuContents_Click() {
    ShowHelpContents(m_services.helpViewer, m_services.executableDir,
                     static_cast<quintptr>(winId()));
}

void frmWrdPrint::mnuAbout_Click() {
    frmAbout::showModal();
}

void frmWrdPrint::cmdExecute_Click() {
    m_batchRun->run();
}

// What the batch run sees of the window.

int frmWrdPrint::entryCount() const {
    return lstFiles->count();
}

QString frmWrdPrint::entry(int index) const {
    const QListWidgetItem* item = lstFiles->item(index);
    return item ? item->text() : QString();
}

QString frmWrdPrint::pathToAdd() const {
    return txtfiletoadd->text();
}

void frmWrdPrint::clearPathToAdd() {
    txtfiletoadd->setText(QString());
}

double frmWrdPrint::progressMaximum() const {
    return Progress->maximum();
}

double frmWrdPrint::progressMinimum() const {
    return Progress->minimum();
}

void frmWrdPrint::setProgressMaximum(double value) {
    Progress->setMaximum(qRound(value));
}

void frmWrdPrint::setProgressMinimum(double value) {
    Progress->setMinimum(qRound(value));
}

void frmWrdPrint::setProgressValue(double value) {
    Progress->setValue(qRound(value));
}

void frmWrdPrint::showProgress() {
    progresslabel->show();
    Progress->show();
}

void frmWrdPrint::setStatus(const QString& text) {
    sbPrintStat->setText(text);
}

void frmWrdPrint::showBusyPointer() {
    if (!QApplication::overrideCursor() ||
        QApplication::overrideCursor()->shape() != Qt::WaitCursor)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void frmWrdPrint::restoreDefaultPointer() {
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void frmWrdPrint::showLocateAcrobat() {
    mnuLocateAcro->setVisible(true);
    mnuLine5->setVisible(true);
}

void frmWrdPrint::repaintNow() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmWrdPrint::yieldToEvents() {
    // The timer bounds the wait when nothing else happens; events that arrive earlier end it.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(20);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace qp
