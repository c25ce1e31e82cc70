#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace qp::test {

// A CUPS server of the test's own: its configuration, spool and socket live in a temporary
// folder, cupsd runs in the foreground as a child of the test (and dies with it), and this
// process and its children reach it through CUPS_SERVER. HOME points to an empty folder so
// that no ~/.cups/lpoptions of the user picks a default. Queues keep each job as a file.
class PrivateCups {
public:
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // A raw queue whose backend keeps each job exactly as sent.
    void addKeepingQueue(const QString& name, bool makeDefault);
    void setDefault(const QString& name);
    // Leaves the server without any default destination.
    void clearDefault();
    void removeQueue(const QString& name);
    // As cupsreject/cupsaccept and cupsdisable/cupsenable do.
    void setAccepting(const QString& queue, bool accepting);
    void setEnabled(const QString& queue, bool enabled);
    // Jobs CUPS holds for the queue and has not finished.
    int pendingJobs(const QString& queue) const;

    QString socketPath() const;
    // Complete kept jobs of a queue, in the order received.
    QStringList jobFiles(const QString& queue) const;
    // Waits until the queue holds at least count complete jobs.
    bool waitForJobs(const QString& queue, int count, int timeoutMs);
    // cupsd's error log, for failure messages.
    QString log() const;

private:
    void writeConfiguration();
    void prepareServerBin();
    void startServer();
    void stopServer();
    void lpadmin(const QStringList& args) { administer(QStringLiteral("lpadmin"), args); }
    void administer(const QString& program, const QStringList& args);
    QString jobFolder(const QString& queue) const;

    QTemporaryDir m_root;
    std::unique_ptr<QProcess> m_cupsd;
    QByteArray m_savedHome;
    QByteArray m_savedServer;
    QByteArray m_savedServerRoot;
    bool m_hadHome = false;
    bool m_hadServer = false;
    bool m_hadServerRoot = false;
};

} // namespace qp::test
