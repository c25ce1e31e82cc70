#pragma once

#include "PdfExaminer.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <array>

namespace qp::pdfserver {

class JobSender;

// Carries out the commands of the conversation in the order they arrive: a document must be
// opened before it is printed, and every print is one job of its own. Each throws
// CommandRefused when it cannot be carried out.
class ConversationHandler {
public:
    ConversationHandler(PdfExaminer& examiner, JobSender& sender);

    void open(const QString& path);
    struct Printed {
        int job = 0;
        int pages = 0;
    };
    Printed print(const QString& path, const QString& destination, const QStringList& options);

private:
    // Which file a path named when it was looked at: device, inode, size and the times of
    // its last change, to the nanosecond. Empty when there is no such file.
    using FileState = std::array<qint64, 7>;
    static FileState fileState(const QString& path);

    struct Opened {
        FileState state;
        PdfFacts facts;
    };

    PdfExaminer& m_examiner;
    JobSender& m_sender;
    QHash<QString, Opened> m_opened;
};

} // namespace qp::pdfserver
