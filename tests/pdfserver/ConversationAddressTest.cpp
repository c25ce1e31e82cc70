#include "platform/dbus/ConversationAddress.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace qp::dbus {
namespace {

// What D-Bus accepts as a well-known bus name and as an object path.
bool isValidBusName(const QString& name) {
    static const QRegularExpression element(QStringLiteral("^[A-Za-z_-][A-Za-z0-9_-]*$"));
    if (name.size() > 255)
        return false;
    const QStringList elements = name.split(QLatin1Char('.'));
    if (elements.size() < 2)
        return false;
    for (const QString& e : elements)
        if (!element.match(e).hasMatch())
            return false;
    return true;
}

bool isValidObjectPath(const QString& path) {
    static const QRegularExpression pattern(QStringLiteral("^(/[A-Za-z0-9_]+)+$"));
    return pattern.match(path).hasMatch();
}

TEST(ConversationAddress, AcrobatsConversationHasItsDocumentedAddress) {
    const ConversationAddress address =
        conversationAddress(QStringLiteral("AcroView"), QStringLiteral("Control"));
    EXPECT_EQ(address.service, QStringLiteral("org.quirepress.dde.AcroView"));
    EXPECT_EQ(address.path, QStringLiteral("/Control"));
    EXPECT_EQ(address.interface, QStringLiteral("org.quirepress.dde.Conversation"));
}

TEST(ConversationAddress, AnyApplicationAndTopicGiveValidDistinctNames) {
    const QStringList texts = {QStringLiteral("AcroView"),
                               QStringLiteral("acroview"),
                               QStringLiteral("Acro View"),
                               QStringLiteral("Acro_View"),
                               QStringLiteral("Acro.View"),
                               QStringLiteral("Acro-View"),
                               QStringLiteral("Acro_2eView"),
                               QStringLiteral("2View"),
                               QStringLiteral("Ärger/Ü"),
                               QStringLiteral("中文"),
                               QString(),
                               QStringLiteral("_"),
                               QStringLiteral("a|b")};
    QSet<QString> services;
    QSet<QString> paths;
    for (const QString& text : texts) {
        const ConversationAddress address = conversationAddress(text, text);
        EXPECT_TRUE(isValidBusName(address.service)) << address.service.toStdString();
        EXPECT_TRUE(isValidObjectPath(address.path)) << address.path.toStdString();
        services.insert(address.service);
        paths.insert(address.path);
    }
    EXPECT_EQ(services.size(), texts.size()) << "two applications share one bus name";
    EXPECT_EQ(paths.size(), texts.size()) << "two topics share one object path";
}

} // namespace
} // namespace qp::dbus
