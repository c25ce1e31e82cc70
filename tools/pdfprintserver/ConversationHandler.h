#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace qp::pdfserver {

class PdfExaminer;
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
    PdfExaminer& m_examiner;
    JobSender& m_sender;
    QSet<QString> m_opened;
};

} // namespace qp::pdfserver
