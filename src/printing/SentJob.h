#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace qp {

// A job that CUPS took: what follows it to paper (or to its end) needs no more than this.
struct SentJob {
    int id = 0;
    QString destination; // as the job was sent: a printer, or "printer/instance"
    int worksheet = 0;   // from 1 for one worksheet of a workbook, else 0
    int pages = 0;       // in the file that was sent
    QDateTime sent;      // when CUPS took it
};
using SentJobs = QList<SentJob>;

} // namespace qp
