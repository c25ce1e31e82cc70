#include "ServerCommand.h"
#include "CommandRefused.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace qp::pdfserver {
namespace {

QString refusalOf(const QString& text) {
    try {
        parseCommand(text);
    } catch (const CommandRefused& refusal) {
        return refusal.message();
    }
    return {};
}

TEST(ServerCommand, TakesBothCommandsAsTheClientBuildsThem) {
    const ServerCommand open = parseCommand(QStringLiteral("[DocOpen(\"/tmp/a.pdf\")]"));
    EXPECT_EQ(open.kind, CommandKind::DocOpen);
    EXPECT_EQ(open.path, QStringLiteral("/tmp/a.pdf"));
    const ServerCommand print = parseCommand(QStringLiteral("[FilePrintSilent(\"/tmp/a.pdf\")]"));
    EXPECT_EQ(print.kind, CommandKind::FilePrintSilent);
    EXPECT_EQ(print.path, QStringLiteral("/tmp/a.pdf"));
}

TEST(ServerCommand, PathComesThroughUnchangedWhateverItHolds) {
    const QStringList paths = {
        QStringLiteral("/tmp/with blanks  twice /x.pdf"),
        QStringLiteral("/tmp/[brackets] (round), commas,/y.PDF"),
        QStringLiteral("/tmp/Ärger über Straße/中文 ファイル.pdf"),
        QStringLiteral("/tmp/quote\"inside\")]and ending.pdf"),
        QStringLiteral("/tmp/tab\tand\nnewline.pdf"),
        QStringLiteral(" /leading blank.pdf "),
    };
    for (const QString& path : paths) {
        EXPECT_EQ(parseCommand(QStringLiteral("[DocOpen(\"") + path + QStringLiteral("\")]")).path,
                  path);
        EXPECT_EQ(
            parseCommand(QStringLiteral("[FilePrintSilent(\"") + path + QStringLiteral("\")]"))
                .path,
            path);
    }
}

TEST(ServerCommand, RefusesAnythingElseNamingWhatCame) {
    const QStringList refused = {
        QString(),
        QStringLiteral("[FileOpen(\"/tmp/a.pdf\")]"),
        QStringLiteral("[docopen(\"/tmp/a.pdf\")]"),
        QStringLiteral("[DocOpen(/tmp/a.pdf)]"),
        QStringLiteral("[DocOpen(\"/tmp/a.pdf\")"),
        QStringLiteral("[DocOpen(\"/tmp/a.pdf\")] "),
        QStringLiteral(" [DocOpen(\"/tmp/a.pdf\")]"),
        QStringLiteral("[DocOpen(\"/tmp/a.pdf\")][FilePrintSilent(\"/tmp/a.pdf\")"),
        QStringLiteral("[DocOpen(\")]"),
        QStringLiteral("[DocClose(\"/tmp/a.pdf\")]"),
    };
    for (const QString& text : refused) {
        const QString message = refusalOf(text);
        ASSERT_FALSE(message.isEmpty()) << "accepted: " << text.toStdString();
        if (text.size() > 3)
            EXPECT_TRUE(message.contains(text)) << message.toStdString();
    }
    EXPECT_TRUE(refusalOf(QStringLiteral("[DocOpen(\"\")]")).contains(QStringLiteral("no file")));
}

TEST(ServerCommand, RefusalOfAHugeTextStaysReadable) {
    const QString huge = QStringLiteral("[Nonsense(") + QString(100000, QLatin1Char('x'));
    const QString message = refusalOf(huge);
    EXPECT_LT(message.size(), 500);
    EXPECT_TRUE(message.contains(QStringLiteral("[Nonsense(xxx")));
}

} // namespace
} // namespace qp::pdfserver
