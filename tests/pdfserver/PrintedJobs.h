#pragma once

#include <QByteArray>
#include <QString>

namespace qp::test {

QByteArray fileBytes(const QString& path);
// Copies a file to a new path, creating folders on the way; fails the test when it cannot.
void copyFile(const QString& from, const QString& to);
// The page count pdfinfo reads from a kept job, or -1 when it cannot read one.
int pdfPageCount(const QString& path);

} // namespace qp::test
