#include "batches/LegacyText.h"

#include <array>

namespace qp {

namespace {

// Characters of Windows-1252 for the bytes 0x80 to 0x9F; everywhere else it equals Latin-1.
constexpr std::array<char16_t, 32> windows1252HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the sequence that starts with `lead`, and the smallest and largest value allowed
// for the byte after it (which rules out overlong forms, surrogates and values past U+10FFFF).
struct SequenceShape {
    int length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
};

SequenceShape shapeOf(unsigned char lead) {
    if (lead < 0x80)
        return {1};
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2};
    if (lead == 0xE0)
        return {3, 0xA0, 0xBF};
    if (lead == 0xED)
        return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3};
    if (lead == 0xF0)
        return {4, 0x90, 0xBF};
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4};
    if (lead == 0xF4)
        return {4, 0x80, 0x8F};
    return {0};
}

} // namespace

bool isWellFormedUtf8(QByteArrayView bytes) {
    const auto size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const SequenceShape shape = shapeOf(lead);
        if (shape.length == 0 || size - i < shape.length)
            return false;
        if (shape.length > 1) {
            const auto second = static_cast<unsigned char>(bytes[i + 1]);
            if (second < shape.secondMin || second > shape.secondMax)
                return false;
            for (int k = 2; k < shape.length; ++k) {
                if (!isContinuation(static_cast<unsigned char>(bytes[i + k])))
                    return false;
            }
        }
        i += shape.length;
    }
    return true;
}

QString decodeWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= 0x80 && byte <= 0x9F) ? QChar(windows1252HighControls[byte - 0x80])
                                                : QChar(byte);
    }
    return text;
}

} // namespace qp
