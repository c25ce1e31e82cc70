#pragma once

#include <QString>
#include <ostream>

// Readable failure messages for Qt text in gtest assertions.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
