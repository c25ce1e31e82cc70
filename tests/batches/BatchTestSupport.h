#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <ostream>

#include "support/QStringPrinting.h"

// Readable failure messages for byte arrays in gtest assertions.
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    constexpr qsizetype shown = 64;
    *out << bytes.size() << " bytes: " << bytes.left(shown).toHex(' ').toStdString()
         << (bytes.size() > shown ? " ..." : "");
}

namespace qp::test {

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<unreadable>");
    return file.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace qp::test
