#pragma once

#include "printing/JobWatch.h"

#include <QMap>
#include <QSet>
#include <QThread>
#include <chrono>
#include <memory>

class QTimer;

namespace qp {

// Follows jobs in CUPS with Get-Job-Attributes (job-state, job-state-reasons, the pages CUPS
// counted) and, while a job waits, Get-Printer-Attributes of its printer. libcups blocks, so
// CUPS is asked on a thread of this object's own, a look every `interval`; the answers come
// back as signals.
class CupsJobWatch : public JobWatch {
    Q_OBJECT
public:
    explicit CupsJobWatch(std::chrono::milliseconds interval = std::chrono::milliseconds{500},
                          QObject* parent = nullptr);
    ~CupsJobWatch() override;

    void follow(int job, const QString& destination) override;

private:
    // On the watch's thread.
    void look();

    std::chrono::milliseconds m_interval;
    QThread m_thread;
    std::unique_ptr<QObject> m_context; // lives on m_thread, as do the members below
    QTimer* m_timer = nullptr;
    QMap<int, QString> m_jobs;       // followed and not ended: id -> printer
    QSet<QString> m_stoppedPrinters; // told already
};

} // namespace qp
