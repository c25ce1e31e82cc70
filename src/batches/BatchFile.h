#pragma once

#include <QByteArray>
#include <QStringList>

namespace qp {

// A batch file holds one line per entry: a double quote, the entry exactly as it is, a double
// quote, CR LF. Nothing is escaped, so a quote inside an entry is written as it stands and the
// reader drops every quote. The text is UTF-8 without a byte-order mark; an empty list gives
// an empty file.
QByteArray formatBatch(const QStringList& entries);

// Reads any text file of lines, quoted or not, and returns its entries in file order.
// - Lines end at CR LF, at a lone LF and at a lone CR, so files written on Windows, on Unix
//   and by old Mac editors all read right; a last line without a line end is read too.
// - Every double quote is removed wherever it stands; a line left empty is skipped; blanks
//   are kept.
// - A leading UTF-8 byte-order mark is skipped. Bytes that are not well-formed UTF-8 are read
//   as Windows-1252, the code page the Windows version of the program wrote its files in.
QStringList parseBatch(const QByteArray& bytes);

} // namespace qp
