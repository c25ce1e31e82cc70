#pragma once

#include "app/SettlingFiles.h"
#include "app/WatchJournal.h"
#include "printing/PrintOptions.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

class QTextStream;

namespace qp {

class OfficeApplication;
class PdfPrintServer;
class ProgramStarter;
class SettingsStore;
class JobReport;
class ShellRun;

// `quirepress --watch DIR`: prints each printable file dropped directly into the folder once it
// is complete, one after the other in the order they arrived, through the shell's run; moves it
// to Printed/ once CUPS has taken its jobs, or to Failed/ when it cannot be printed. The
// folder's journal keeps a crash between sending and moving from printing a file twice. The
// office stays started from file to file and is ended after a while without files.
class FolderWatch : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString folder;
        PrintOptions options;
        std::chrono::milliseconds settle{2000};
        std::chrono::milliseconds officeIdle{std::chrono::minutes{5}};
        JobReport* report = nullptr; // each file's jobs, and why one went to Failed
    };
    // Which of the paths some process holds open for writing.
    using WritersCheck = std::function<QSet<QString>(const QStringList& paths)>;
    struct Services {
        SettingsStore& settings;
        OfficeApplication& office;
        ProgramStarter& starter;
        PdfPrintServer& pdfServer;
        WritersCheck writers;
    };

    FolderWatch(Setup setup, Services services, QTextStream& err);
    ~FolderWatch() override;

    // Returns false, told on `err`, when the folder cannot be watched; otherwise the files
    // already there are looked at at once.
    bool start();
    // Ends the watch after the file under way; finished() follows.
    void stop();

    static QString journalName() { return QStringLiteral(".quirepress-journal"); }
    static QString printedFolder() { return QStringLiteral("Printed"); }
    static QString failedFolder() { return QStringLiteral("Failed"); }

Q_SIGNALS:
    void finished(int exitStatus);

private:
    void lookSoon();
    void look();
    void printNext();
    void runFinished();
    // Moves the file out of the folder and forgets it in the journal; a file that cannot be
    // moved stays in the journal, so that it is not printed again.
    void moveOut(const QString& path, const QString& subfolder, const QString& what);
    void officeIdle();
    bool journalWritten(const QString& error);
    void finish();
    void tell(const QString& line);

    Setup m_setup;
    Services m_services;
    QTextStream& m_err;
    SettlingFiles m_settling;
    WatchJournal m_journal;
    QFileSystemWatcher m_watcher;
    QTimer m_lookTimer;
    QTimer m_rescan;
    QTimer m_idle;
    QElapsedTimer m_clock;
    QStringList m_queue;
    std::unique_ptr<ShellRun> m_run; // holds the office while it lives
    QString m_current;               // the file under way, empty between files
    bool m_stopping = false;
    int m_exitStatus = 0;
};

} // namespace qp
