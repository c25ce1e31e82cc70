// How the PDF print server names its conversation on the bus and reads the commands it gets.

#include "CommandRefused.h"
#include "ServerCommand.h"
#include "platform/dbus/ConversationAddress.h"

#include <functional>
#include <gtest/gtest.h>

namespace qp::pdfserver {
namespace {

// The refusal's message, or the empty text when the action went through.
QString refusalOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const CommandRefused& refusal) {
        return refusal.message();
    }
    return {};
}

TEST(ConversationAddress, AcrobatsIsTheDocumentedOne) {
    const auto acrobat = dbus::conversationAddress("AcroView", "Control");
    EXPECT_EQ(acrobat.service, "org.quirepress.dde.AcroView");
    EXPECT_EQ(acrobat.path, "/Control");
    EXPECT_EQ(acrobat.interface, "org.quirepress.dde.Conversation");
}

TEST(ServerCommand, PathComesThroughUnchangedWhateverItHolds) {
    for (const char* text :
         {"/tmp/a.pdf", "/tmp/with blanks  twice /x.pdf", "/tmp/[brackets] (round), commas,/y.PDF",
          "/tmp/Ärger über Straße/中文 ファイル.pdf", "/tmp/quote\"inside\")]and ending.pdf",
          "/tmp/tab\tand\nnewline.pdf", " /leading blank.pdf "}) {
        const QString path = QString::fromUtf8(text);
        const ServerCommand opening = parseCommand("[DocOpen(\"" + path + "\")]");
        const ServerCommand printing = parseCommand("[FilePrintSilent(\"" + path + "\")]");
        EXPECT_EQ(opening.kind, CommandKind::DocOpen);
        EXPECT_EQ(printing.kind, CommandKind::FilePrintSilent);
        EXPECT_EQ(opening.path, path);
        EXPECT_EQ(printing.path, path);
    }
}

TEST(ServerCommand, RefusesAnythingElseNamingWhatCame) {
    for (const char* text :
         {"", "[FileOpen(\"/tmp/a.pdf\")]", "[docopen(\"/tmp/a.pdf\")]", "[DocOpen(/tmp/a.pdf)]",
          "[DocOpen(\"/tmp/a.pdf\")", "[DocOpen(\"/tmp/a.pdf\")] ", " [DocOpen(\"/tmp/a.pdf\")]",
          "[DocOpen(\"/tmp/a.pdf\")][FilePrintSilent(\"/tmp/a.pdf\")", "[DocOpen(\")]",
          "[DocClose(\"/tmp/a.pdf\")]"}) {
        const QString message = refusalOf([&] { parseCommand(text); });
        ASSERT_FALSE(message.isEmpty()) << "accepted: " << text;
        EXPECT_TRUE(message.contains(text)) << message.toStdString();
    }
    EXPECT_TRUE(refusalOf([] { parseCommand("[DocOpen(\"\")]"); }).contains("no file"));
    // A huge text is cut in the refusal, which the user reads.
    const QString message = refusalOf([] { parseCommand("[Nonsense(" + QString(100000, 'x')); });
    EXPECT_LT(message.size(), 500);
    EXPECT_TRUE(message.contains("[Nonsense(xxx"));
}

} // namespace
} // namespace qp::pdfserver
