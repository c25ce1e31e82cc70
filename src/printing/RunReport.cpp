#include "printing/RunReport.h"

namespace qp::runtext {

namespace {

const QString CrLf = QStringLiteral("\r\n");

} // namespace

QString pdfProgramMissing(const QString& entry) {
    return QStringLiteral("Cannot print ") + entry + CrLf +
           QStringLiteral("Acrobat has not been properly set up.") + CrLf +
           QStringLiteral("Please use \"File -> Locate Acrobat\" before trying to print .pdf "
                          "files");
}

QString unusableEntry(const QString& entry) {
    return entry + QStringLiteral(" is not a valid file.  Do you wish to continue?");
}

QString pdfProgramSilent() {
    return QStringLiteral("There was a problem with finding Acrobat. Please select Locate "
                          "Acrobat from the File menu.");
}

QString failure(long number, const QString& description) {
    return QStringLiteral("Error: ") + QString::number(number) + CrLf + description + CrLf +
           QStringLiteral("As a result the batch will be terminated.");
}

QString stopped() {
    return QStringLiteral("Printing was stopped before the end of the batch.");
}

QString stoppedBeforeAnswer() {
    return QStringLiteral("the run stopped before the PDF print server answered.");
}

} // namespace qp::runtext
