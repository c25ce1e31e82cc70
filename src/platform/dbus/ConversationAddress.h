#pragma once

// Where a conversation with application A on topic T lives on the D-Bus session bus. The
// client (DBusPdfPrintServer) and the PDF print server both compile this header, so the two
// can never disagree.
//
//   well-known bus name   org.quirepress.dde.<A>          e.g. org.quirepress.dde.AcroView
//   object path           /<T>                            e.g. /Control
//   interface             org.quirepress.dde.Conversation
//   method                Execute(s command) -> ()        a refusal is a D-Bus error reply
//   refusal error name    org.quirepress.dde.Error.Refused, its message meant for the user;
//                         org.quirepress.dde.Error.UnusableDocument when the fault lies in
//                         the document named, not in the server
//
// A and T are escaped into one valid name or path element each: ASCII letters and digits
// stay as they are, every other byte of their UTF-8 form becomes "_" and two lower-case hex
// digits ("_" itself becomes "_5f", so no two names meet); a leading digit is escaped too,
// since a bus name element must not start with one; the empty text becomes "_". Case is
// kept: "AcroView" and "acroview" are different servers.

#include <QByteArray>
#include <QString>

namespace qp::dbus {

inline const QString conversationServicePrefix = QStringLiteral("org.quirepress.dde.");
inline const QString conversationInterface = QStringLiteral("org.quirepress.dde.Conversation");
inline const QString executeMethod = QStringLiteral("Execute");
inline const QString refusedErrorName = QStringLiteral("org.quirepress.dde.Error.Refused");
inline const QString unusableDocumentErrorName =
    QStringLiteral("org.quirepress.dde.Error.UnusableDocument");

// One D-Bus name or path element standing for a free text (see above).
inline QString escapedElement(const QString& text) {
    if (text.isEmpty())
        return QStringLiteral("_");
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    QString out;
    out.reserve(utf8.size() * 3);
    for (int i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const bool letter = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
        const bool digit = byte >= '0' && byte <= '9';
        if (letter || (digit && i > 0)) {
            out += QLatin1Char(static_cast<char>(byte));
        } else {
            out += QLatin1Char('_');
            out += QLatin1Char(hex[byte >> 4]);
            out += QLatin1Char(hex[byte & 0x0f]);
        }
    }
    return out;
}

struct ConversationAddress {
    QString service;
    QString path;
    QString interface;
};

inline ConversationAddress conversationAddress(const QString& application, const QString& topic) {
    return {conversationServicePrefix + escapedElement(application),
            QLatin1Char('/') + escapedElement(topic), conversationInterface};
}

} // namespace qp::dbus
