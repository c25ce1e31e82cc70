#pragma once

#include <QString>

namespace qp {

// Moves `file` into `folder`, which is made when missing, under its own name or, when that is
// taken, the first free one of "name (2).ext", "name (3).ext"...: nothing there is ever
// overwritten. Returns the path it now has, or nothing with `error` set.
QString moveIntoFolder(const QString& file, const QString& folder, QString& error);

} // namespace qp
