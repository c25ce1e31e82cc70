#pragma once

#include <QString>

// Where the program's settings live in the settings store. Users and their scripts write these
// names, so they never change.
namespace qp::settings {

inline QString application() {
    return QStringLiteral("Quirepress");
}
inline QString section() {
    return QStringLiteral("Settings");
}

// The path of the PDF printing program, and whether the user declined to locate it.
inline QString acrobatKey() {
    return QStringLiteral("Acrobat");
}
inline QString acrobatDeclinedKey() {
    return QStringLiteral("AcroCancelled");
}
// How long LibreOffice may take for one step, in seconds.
inline QString officeTimeoutKey() {
    return QStringLiteral("OfficeTimeout");
}
// LibreOffice is replaced between two entries once it has loaded that many documents, or
// once its resident memory has passed that many megabytes.
inline QString officeMaxDocumentsKey() {
    return QStringLiteral("OfficeMaxDocuments");
}
inline QString officeMaxMemoryKey() {
    return QStringLiteral("OfficeMaxMemory");
}
// How many LibreOffice processes a run uses side by side; empty for as the machine allows.
inline QString officeProcessesKey() {
    return QStringLiteral("OfficeProcesses");
}

} // namespace qp::settings
