#pragma once

#include <QString>

// Texts that users see from more than one place, so that they read the same everywhere.
namespace qp::messages {

// The program's name where it titles a window or a message box.
inline QString applicationTitle() {
    return QStringLiteral("Quirepress");
}
// How messages of the program begin on the command line.
inline QString shellPrefix() {
    return QStringLiteral("quirepress: ");
}
// The title of every box that reports a failure.
inline QString errorTitle() {
    return QStringLiteral("Error...");
}

inline QString noDefaultPrinter() {
    return QStringLiteral("There is no default printer set up.  You must have a "
                          "default printer to use this utility");
}

// A dropped file, or a folder without any printable file, that cannot join the list.
inline QString unsupportedFile(const QString& path) {
    return QStringLiteral("File ") + path + QStringLiteral(" is not a supported file.");
}

// The descriptions that go with the platform's error numbers.
inline QString outOfMemory() {
    return QStringLiteral("Out of memory");
}
inline QString overflow() {
    return QStringLiteral("Overflow");
}
inline QString pathNotFound() {
    return QStringLiteral("Path not found");
}

} // namespace qp::messages
