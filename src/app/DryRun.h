#pragma once

#include "printing/PdfPrintServer.h"
#include "printing/PrintOptions.h"
#include "printing/ProgramStarter.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QTextStream;

namespace qp {

// What CUPS makes of every job of a run on paper: copies, the page list, both sides or one.
struct JobPaper {
    int copies = 1;
    QString pages; // lp's page list ("1-3,7", "5-"), empty for every page
    bool twoSided = false;
};

// How many of a job's pages the page list lets through, each page once however many parts
// name it; a part that is not a page or a range of them names none.
int pagesInRanges(int pages, const QString& ranges);

// `--dry-run`: the jobs a run would send, each with the pages rendered or read for it, and
// the listing of them.
class DryRunJobs {
public:
    DryRunJobs(QString destination, const PrintOptions& options, JobPaper paper);

    // A job of the file (of its worksheet, from 1; 0 for the whole file) with that many pages
    // before the page list. From any thread: Office jobs are counted where they render.
    void add(const QString& file, int sheet, int pages);
    // One line per job, tab-separated: the file, the worksheet ("sheet N", or empty), the
    // destination, the options as lp's -o would take them, the pages of one copy. Then the
    // totals: "total", the jobs, the sheets of paper of every copy, the pages.
    void write(QTextStream& out) const;

private:
    struct Job {
        QString file;
        int sheet;
        int pages;
    };

    QString m_destination;
    QString m_options;
    JobPaper m_paper;
    mutable std::mutex m_mutex;
    std::vector<Job> m_jobs;
};

// The PDF program of a dry run: opens each PDF as the print server would, counts its pages
// into the jobs and prints nothing. Files are read on a thread of its own; every reply comes
// from the event loop.
class PageCountingPdfServer : public QObject, public PdfPrintServer {
    Q_OBJECT
public:
    // The pages a PDF prints, -1 when it does not print (damaged, locked, printing forbidden).
    using CountPages = std::function<int(const QString& path)>;

    PageCountingPdfServer(DryRunJobs& jobs, CountPages count);
    ~PageCountingPdfServer() override;

    void connect(Reply reply) override;
    void openDocument(const QString& absolutePath, Timeout timeout, Reply reply) override;
    void printDocument(const QString& absolutePath, const PrintOptions& options, Timeout timeout,
                       PrintReply reply) override;
    void disconnect() override { ++m_connection; }

private:
    void later(Reply reply, std::exception_ptr failure);

    DryRunJobs& m_jobs;
    CountPages m_count;
    QThread m_thread;
    std::unique_ptr<QObject> m_context; // lives on m_thread
    QHash<QString, int> m_pages;        // of the documents opened
    quint64 m_connection = 0;           // replies of an ended connection are dropped
};

// The dry run's PDF program is within: there is nothing to start.
class NoProgramStarter : public ProgramStarter {
public:
    void start(const QString&) override {}
    bool hasEnded() const override { return false; }
};

} // namespace qp
