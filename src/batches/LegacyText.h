#pragma once

#include <QByteArrayView>
#include <QString>

namespace qp {

// True when the bytes are well-formed UTF-8: no stray continuation bytes, no overlong forms,
// no encoded surrogates and nothing above U+10FFFF. Plain ASCII is well-formed.
bool isWellFormedUtf8(QByteArrayView bytes);

// Decodes Windows-1252 the way Windows itself does: 0x80-0x9F carry the typographic characters
// of that code page, and its five unassigned bytes (81, 8D, 8F, 90, 9D) become the C1 control
// of the same value, so that no byte is ever lost.
QString decodeWindows1252(QByteArrayView bytes);

} // namespace qp
