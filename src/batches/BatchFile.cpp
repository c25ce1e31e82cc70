#include "batches/BatchFile.h"

#include "batches/LegacyText.h"

#include <QStringDecoder>

namespace qp {

namespace {

constexpr char16_t Quote = u'"';
constexpr char16_t CarriageReturn = u'\r';
constexpr char16_t LineFeed = u'\n';

QString decodeBatchText(const QByteArray& bytes) {
    QByteArrayView body(bytes);
    static constexpr char utf8ByteOrderMark[] = "\xEF\xBB\xBF";
    if (body.startsWith(utf8ByteOrderMark))
        body = body.sliced(3);
    if (!isWellFormedUtf8(body))
        return decodeWindows1252(body);
    // The mark was dealt with above; a second one is text, and fromUtf8 would drop it.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(body);
}

void takeEntry(QStringView line, QStringList& entries) {
    QString entry;
    entry.reserve(line.size());
    for (const QChar c : line) {
        if (c != Quote)
            entry.append(c);
    }
    if (!entry.isEmpty())
        entries.append(entry);
}

} // namespace

QByteArray formatBatch(const QStringList& entries) {
    QByteArray bytes;
    for (const QString& entry : entries) {
        bytes.append('"');
        bytes.append(entry.toUtf8());
        bytes.append("\"\r\n");
    }
    return bytes;
}

QStringList parseBatch(const QByteArray& bytes) {
    const QString text = decodeBatchText(bytes);
    const QStringView view(text);
    QStringList entries;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < view.size(); ++i) {
        const char16_t c = view[i].unicode();
        if (c != CarriageReturn && c != LineFeed)
            continue;
        takeEntry(view.sliced(lineStart, i - lineStart), entries);
        if (c == CarriageReturn && i + 1 < view.size() && view[i + 1] == LineFeed)
            ++i;
        lineStart = i + 1;
    }
    if (lineStart < view.size())
        takeEntry(view.sliced(lineStart), entries);
    return entries;
}

} // namespace qp
