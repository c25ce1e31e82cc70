#pragma once

#include <QString>

namespace qp {

// How many pages a PDF file prints, as poppler reads it; -1 when it does not print at all:
// poppler cannot open it, it is locked with a password, or its author forbade printing (the
// PDF print server refuses those files too).
int printablePdfPages(const QString& path);

} // namespace qp
