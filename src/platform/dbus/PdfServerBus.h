#pragma once

// Where the PDF print server is found on the D-Bus session bus, and the errors its methods
// (org.quirepress.PdfPrintServer.xml beside this header) answer with. The program and the
// server both compile this header, so the two can never disagree.

#include <QString>

namespace qp::dbus {

inline const QString pdfServerName = QStringLiteral("org.quirepress.PdfPrintServer");
inline const QString pdfServerPath = QStringLiteral("/org/quirepress/PdfPrintServer");

// Each error's message is written for the user who will read it.
// The fault lies in the document named (missing, damaged, locked, printing forbidden): the
// other documents may still print.
inline const QString unusableDocumentError =
    QStringLiteral("org.quirepress.PdfPrintServer.Error.UnusableDocument");
// There is no default printer to print on.
inline const QString noDefaultPrinterError =
    QStringLiteral("org.quirepress.PdfPrintServer.Error.NoDefaultPrinter");
// The server cannot do what was asked for a reason of its own.
inline const QString serverFailedError =
    QStringLiteral("org.quirepress.PdfPrintServer.Error.Failed");

} // namespace qp::dbus
