#include "app/FolderWatch.h"

#include "app/FileMover.h"
#include "app/ShellRun.h"
#include "batches/FolderEntries.h"
#include "core/Messages.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <csignal>

namespace qp {

namespace {

// How often files still settling are looked at, and how often the whole folder is looked at
// in case the system's notice of a change got lost (a full notice queue, a network share).
constexpr std::chrono::milliseconds SettlingLook{250};
constexpr std::chrono::seconds Rescan{5};

FileStamp stampOf(const QFileInfo& file) {
    return {file.size(), file.lastModified().toMSecsSinceEpoch()};
}

} // namespace

FolderWatch::FolderWatch(Setup setup, Services services, QTextStream& err)
    : m_setup(std::move(setup)), m_services(std::move(services)), m_err(err),
      m_settling(m_setup.settle.count()),
      m_journal(QDir(m_setup.folder).absoluteFilePath(journalName())) {
    m_lookTimer.setSingleShot(true);
    m_idle.setSingleShot(true);
    connect(&m_lookTimer, &QTimer::timeout, this, &FolderWatch::look);
    connect(&m_rescan, &QTimer::timeout, this, &FolderWatch::look);
    connect(&m_idle, &QTimer::timeout, this, &FolderWatch::officeIdle);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderWatch::lookSoon);
}

FolderWatch::~FolderWatch() = default;

bool FolderWatch::start() {
    const QFileInfo folder(m_setup.folder);
    m_setup.folder = QDir::cleanPath(folder.absoluteFilePath());
    if (!folder.isDir() || !folder.isWritable()) {
        tell(QStringLiteral("%1 is not a folder this user may write in.").arg(m_setup.folder));
        return false;
    }
    const QString unreadable = m_journal.load();
    if (!unreadable.isEmpty()) {
        tell(QStringLiteral("the journal %1 cannot be read: %2")
                 .arg(QDir(m_setup.folder).absoluteFilePath(journalName()), unreadable));
        return false;
    }
    if (!m_watcher.addPath(m_setup.folder))
        tell(QStringLiteral("no notice of changes in %1: it is looked at every %2 s instead.")
                 .arg(m_setup.folder)
                 .arg(Rescan.count()));
    m_clock.start();
    m_rescan.start(Rescan);
    tell(QStringLiteral("watching %1 for files to print.").arg(m_setup.folder));
    look();
    return true;
}

void FolderWatch::stop() {
    if (m_stopping)
        return;
    m_stopping = true;
    m_lookTimer.stop();
    m_rescan.stop();
    m_idle.stop();
    m_watcher.removePaths(m_watcher.directories());
    if (!m_current.isEmpty())
        m_run->stop();
    else
        QMetaObject::invokeMethod(this, &FolderWatch::finish, Qt::QueuedConnection);
}

void FolderWatch::lookSoon() {
    // A file being written sends a stream of notices: they are taken together.
    if (!m_lookTimer.isActive())
        m_lookTimer.start(std::chrono::milliseconds{50});
}

void FolderWatch::look() {
    if (m_stopping)
        return;
    const QStringList paths = FolderEntries::printableFiles(m_setup.folder, false);
    const QSet<QString> written = m_services.writers ? m_services.writers(paths) : QSet<QString>();
    QList<FileLook> files;
    for (const QString& path : paths) {
        const QFileInfo file(path);
        if (file.exists())
            files.append({path, stampOf(file), written.contains(path)});
    }
    m_queue += m_settling.look(files, m_clock.elapsed());
    if (m_settling.waiting())
        m_lookTimer.start(SettlingLook);
    printNext();
}

void FolderWatch::printNext() {
    if (!m_current.isEmpty() || m_stopping)
        return;
    while (!m_queue.isEmpty()) {
        const QString path = m_queue.takeFirst();
        const QFileInfo file(path);
        if (!file.exists())
            continue;
        const FileStamp stamp = stampOf(file);
        if (const auto entry = m_journal.find(file.fileName(), stamp)) {
            // Sent before the last watch ended, and not moved: it is not printed twice.
            if (entry->state == WatchJournal::State::Sent)
                moveOut(path, printedFolder(),
                        QStringLiteral("was printed before the watch ended, not printed again"));
            else
                moveOut(path, failedFolder(),
                        QStringLiteral("was being sent to the printer when the watch ended and "
                                       "may have printed, not printed again"));
            continue;
        }
        if (!journalWritten(
                m_journal.record(file.fileName(), {stamp, WatchJournal::State::Sending})))
            return;
        m_idle.stop();
        if (!m_run) {
            m_run = std::make_unique<ShellRun>(
                QStringList(), m_err, m_services.settings, m_services.office, m_services.starter,
                m_services.pdfServer, m_setup.options, 0, nullptr, m_setup.report);
            // Queued: the run is done with its own calls before the next starts or it goes.
            connect(m_run.get(), &ShellRun::finished, this, &FolderWatch::runFinished,
                    Qt::QueuedConnection);
        }
        m_current = path;
        m_run->startWith({path});
        return;
    }
    if (m_run && !m_idle.isActive())
        m_idle.start(m_setup.officeIdle);
}

void FolderWatch::runFinished() {
    const QString path = m_current;
    m_current.clear();
    const QFileInfo file(path);
    if (m_run->printedCount() > 0) {
        // CUPS holds every job of the file from here on.
        if (!journalWritten(
                m_journal.record(file.fileName(), {stampOf(file), WatchJournal::State::Sent})))
            return;
        // For the tests: a crash at the worst moment, between sending and moving.
        if (qEnvironmentVariableIsSet("QP_WATCH_TEST_CRASH_AFTER_SEND"))
            std::raise(SIGKILL);
        moveOut(path, printedFolder(), QStringLiteral("printed"));
    } else if (!m_stopping) {
        moveOut(path, failedFolder(), QStringLiteral("not printed"));
    }
    // A file given up by a stop stays where it is, as being sent in the journal: whether it
    // reached the printer cannot be told.
    if (m_stopping) {
        finish();
        return;
    }
    QMetaObject::invokeMethod(this, &FolderWatch::printNext, Qt::QueuedConnection);
}

void FolderWatch::moveOut(const QString& path, const QString& subfolder, const QString& what) {
    QString error;
    const QString moved =
        moveIntoFolder(path, QDir(m_setup.folder).absoluteFilePath(subfolder), error);
    if (moved.isEmpty()) {
        tell(QStringLiteral("%1 %2, but cannot be moved to %3/: %4")
                 .arg(path, what, subfolder, error));
        return;
    }
    tell(QStringLiteral("%1 %2, moved to %3").arg(path, what, moved));
    journalWritten(m_journal.forget(QFileInfo(path).fileName()));
}

void FolderWatch::officeIdle() {
    if (m_current.isEmpty())
        m_run.reset();
}

bool FolderWatch::journalWritten(const QString& error) {
    if (error.isEmpty())
        return true;
    // Without its journal the watch could print a file twice after a crash: it ends.
    tell(QStringLiteral("the journal in %1 cannot be written (%2): the watch ends.")
             .arg(m_setup.folder, error));
    m_exitStatus = 2;
    m_stopping = true;
    m_lookTimer.stop();
    m_rescan.stop();
    m_idle.stop();
    QMetaObject::invokeMethod(this, &FolderWatch::finish, Qt::QueuedConnection);
    return false;
}

void FolderWatch::finish() {
    // Ends the office, when one runs.
    m_run.reset();
    Q_EMIT finished(m_exitStatus);
}

void FolderWatch::tell(const QString& line) {
    m_err << messages::shellPrefix() << line << '\n';
    m_err.flush();
}

} // namespace qp
