#include "app/DryRun.h"

#include "core/AppError.h"

#include <QTextStream>
#include <algorithm>
#include <vector>

namespace qp {

int pagesInRanges(int pages, const QString& ranges) {
    if (ranges.trimmed().isEmpty())
        return pages;
    std::vector<bool> chosen(static_cast<size_t>(std::max(pages, 0)), false);
    for (const QString& part : ranges.split(QLatin1Char(','))) {
        const QString range = part.trimmed();
        const qsizetype dash = range.indexOf(QLatin1Char('-'));
        bool valid = true, lastValid = true;
        // "7", "1-3", "5-" up to the end, "-3" from the start.
        const int first = dash == 0 ? 1 : range.left(dash).toInt(&valid);
        const int last = dash < 0                   ? first
                         : dash == range.size() - 1 ? pages
                                                    : range.mid(dash + 1).toInt(&lastValid);
        if (!valid || !lastValid || first < 1)
            continue;
        for (int page = first; page <= std::min(last, pages); ++page)
            chosen[static_cast<size_t>(page - 1)] = true;
    }
    return static_cast<int>(std::count(chosen.begin(), chosen.end(), true));
}

DryRunJobs::DryRunJobs(QString destination, const PrintOptions& options, JobPaper paper)
    : m_destination(std::move(destination)),
      m_options(options.cupsOptions().join(QLatin1Char(' '))), m_paper(std::move(paper)) {}

void DryRunJobs::add(const QString& file, int sheet, int pages) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_jobs.push_back({file, sheet, pages});
}

void DryRunJobs::write(QTextStream& out) const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    qint64 pages = 0, sheets = 0;
    for (const Job& job : m_jobs) {
        const int printed = pagesInRanges(job.pages, m_paper.pages);
        // A job starts on a sheet of its own, and so does each copy of it.
        sheets += qint64(m_paper.copies) * (m_paper.twoSided ? (printed + 1) / 2 : printed);
        pages += printed;
        out << job.file << '\t'
            << (job.sheet > 0 ? QStringLiteral("sheet %1").arg(job.sheet) : QString()) << '\t'
            << m_destination << '\t' << m_options << '\t' << printed << '\n';
    }
    out << "total\t" << m_jobs.size() << " jobs\t" << sheets << " sheets\t" << pages << " pages\n";
    out.flush();
}

PageCountingPdfServer::PageCountingPdfServer(DryRunJobs& jobs, CountPages count)
    : m_jobs(jobs), m_count(std::move(count)), m_context(std::make_unique<QObject>()) {
    m_thread.setObjectName(QStringLiteral("pdf pages"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

PageCountingPdfServer::~PageCountingPdfServer() {
    m_thread.quit();
    m_thread.wait();
    m_context.reset();
}

void PageCountingPdfServer::later(Reply reply, std::exception_ptr failure) {
    QMetaObject::invokeMethod(
        this,
        [this, reply = std::move(reply), failure, connection = m_connection] {
            if (connection == m_connection)
                reply(failure);
        },
        Qt::QueuedConnection);
}

void PageCountingPdfServer::connect(Reply reply) {
    ++m_connection;
    later(std::move(reply), nullptr);
}

void PageCountingPdfServer::openDocument(const QString& absolutePath, Timeout, Reply reply) {
    // Replies from the counting thread reach this object through its event loop; the thread
    // ends before this object does, so none is left to find it gone.
    QMetaObject::invokeMethod(
        m_context.get(),
        [this, absolutePath, reply = std::move(reply), connection = m_connection] {
            const int pages = m_count(absolutePath);
            QMetaObject::invokeMethod(
                this,
                [this, absolutePath, reply, connection, pages] {
                    if (connection != m_connection)
                        return;
                    if (pages < 0) {
                        reply(std::make_exception_ptr(AppError(
                            ErrorNumber::CannotBind,
                            QStringLiteral("%1 does not print: it cannot be opened, is locked "
                                           "with a password, or its author forbade printing.")
                                .arg(absolutePath))));
                        return;
                    }
                    m_pages.insert(absolutePath, pages);
                    reply(nullptr);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void PageCountingPdfServer::printDocument(const QString& absolutePath, const PrintOptions& options,
                                          Timeout, PrintReply reply) {
    if (!m_pages.contains(absolutePath)) {
        later([reply](std::exception_ptr failure) { reply(failure, {}); },
              std::make_exception_ptr(AppError(ErrorNumber::ConversationRefused,
                                               QStringLiteral("%1 was not opened before it was "
                                                              "printed.")
                                                   .arg(absolutePath))));
        return;
    }
    const int pages = m_pages.take(absolutePath);
    m_jobs.add(absolutePath, 0, pages);
    // Counted, not sent: there is no job in CUPS to name.
    const SentJob counted{0, options.destination, 0, pages, QDateTime::currentDateTime()};
    later([reply, counted](std::exception_ptr failure) { reply(failure, counted); }, nullptr);
}

} // namespace qp
