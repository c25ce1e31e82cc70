#pragma once

#include <QSet>
#include <QStringList>

namespace qp {

// Which of the files some process holds open for writing, as far as /proc shows this user's
// processes: a copy that pauses between its pieces keeps its file open, so the file is not
// complete however long it stays unchanged.
QSet<QString> filesBeingWritten(const QStringList& paths);

} // namespace qp
