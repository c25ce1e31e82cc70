#pragma once

#include <QString>
#include <QStringList>

namespace qp {

// The user's CUPS destinations, as libcups sees them (CUPS_SERVER, lpoptions, LPDEST).
class CupsPrinters {
public:
    // The default destination as lp would find it ("printer" or "printer/instance"), or the
    // empty text when there is none.
    QString defaultDestination() const;
    // The name of the default destination. Throws AppError 5140 when there is none, and
    // AppError 440, naming the file, the destination and the reason, when it is not accepting
    // jobs now. A stopped queue still takes jobs and keeps them until it is started again.
    QString requireAcceptingDefaultDestination(const QString& path) const;
    // CUPS's reason why the destination would refuse a job now (it does not exist, or it is
    // not accepting jobs), or the empty text when it would take one.
    QString refusalReason(const QString& destination) const;

    struct JobCheck {
        QString destination; // the name the job would go to ("office/duplex" for an instance)
        QString refusal;     // CUPS's words when it would not take the job, else empty
        // How the job would come out, the destination's own options and defaults taken in.
        int copies = 1;
        QString pages; // page-ranges as CUPS takes them, empty for every page
        bool twoSided = false;
    };
    // Asks CUPS (Validate-Job) whether it would take a PDF job with these options on the
    // destination (the default one when empty), without sending one. Each option is one
    // argument of lp's -o.
    JobCheck checkJob(const QString& destination, const QStringList& options) const;

    struct SentJob {
        int id = 0;      // 0 when CUPS did not take the job
        QString failure; // then CUPS's words, else empty
        int pages = 0;   // in the file sent
    };
    // Sends a PDF file unconverted as one job named title to the destination (the default one
    // when empty), with the destination's own options and these over them, each one argument
    // of lp's -o: as the PDF print server sends the user's PDFs.
    SentJob sendPdf(const QString& pdf, const QString& title, const QString& destination,
                    const QStringList& options) const;
};

} // namespace qp
