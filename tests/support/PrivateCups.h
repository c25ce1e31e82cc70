#pragma once

#include "core/AppError.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qp::test {

// A CUPS server of the test's own: configuration, spool and socket in a temporary folder,
// cupsd a child of the test (dying with it), reached through CUPS_SERVER. HOME points to an
// empty folder so that no ~/.cups/lpoptions picks a default. Queues keep each job as a file.
class PrivateCups {
public:
    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // A raw queue whose backend keeps each job exactly as sent.
    void addKeepingQueue(const QString& name, bool makeDefault);
    void setDefault(const QString& name) { administer("lpadmin", {"-d", name}); }
    // Leaves the server without any default destination.
    void clearDefault();
    void removeQueue(const QString& name) { administer("lpadmin", {"-x", name}); }
    void setAccepting(const QString& queue, bool on) {
        administer(on ? "cupsaccept" : "cupsreject", {queue});
    }
    void setEnabled(const QString& queue, bool on) {
        administer(on ? "cupsenable" : "cupsdisable", {queue});
    }
    // Jobs CUPS holds for the queue and has not finished.
    int pendingJobs(const QString& queue) const;
    // Complete kept jobs of a queue, in the order received.
    QStringList jobFiles(const QString& queue) const;
    bool waitForJobs(const QString& queue, int count, int timeoutMs);
    // cupsd's error log, for failure messages.
    QString log() const;

private:
    void administer(const QString& program, const QStringList& args);

    QTemporaryDir m_root;
    QProcess m_cupsd;
    std::vector<std::pair<const char*, std::optional<QByteArray>>> m_savedEnvironment;
};

// One document of the corpus of real-world files, as QP_CORPUS_DIR/MANIFEST.tsv has it.
struct CorpusDocument {
    QString kind;
    QString path;
    int pages = 0;         // 0 when it does not open without its password
    int worksheets = -1;   // as LibreOffice counts them
    bool locked = false;   // needs a password
    bool textOnly = false; // LibreOffice takes it for plain text
    bool printable = true; // its permissions allow printing
};
// The manifest, read once; empty when the corpus is missing.
const std::vector<CorpusDocument>& corpus();
// A corpus file by its path below the corpus, absolute and without "..".
QString corpusFile(const QString& relative);

QByteArray fileBytes(const QString& path);
// What pdfinfo and pdftotext read from a kept job or any PDF; -1 pages when it cannot.
int pdfPages(const QString& path);
QString pdfText(const QString& path);
// The error the action raises; number 0 (and a failure) when it raises none.
AppError failureOf(const std::function<void()>& action);

} // namespace qp::test
