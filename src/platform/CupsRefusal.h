#pragma once

// How a print that CUPS did not take is described to the user. The program and the PDF print
// server both compile this header, so that the same condition reads the same from either.

#include <QString>

namespace qp::cups {

inline QString cannotPrintText(const QString& path, const QString& destination,
                               const QString& reason) {
    return QStringLiteral("Cannot print %1 on %2: %3").arg(path, destination, reason);
}

// cupsd's own words when it refuses a job for a destination that is not accepting jobs.
inline QString notAcceptingReason(const QString& destination) {
    return QStringLiteral("Destination \"%1\" is not accepting jobs.").arg(destination);
}

// What libcups says when a destination is unknown to the server.
inline QString noSuchDestinationReason(const QString& destination) {
    return QStringLiteral("The printer or class \"%1\" does not exist.").arg(destination);
}

} // namespace qp::cups
