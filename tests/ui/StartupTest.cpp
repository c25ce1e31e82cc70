#include "support/QStringPrinting.h"
#include "support/WindowFixture.h"

#include <QLabel>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace qp::test {
namespace {

const QString Server = QStringLiteral("/opt/quirepress/quirepress-pdf-server");
const QString FirstRun = "box Find Acrobat...";
const QString Chosen = "Acrobat=" + Server + " | AcroCancelled=0";

struct Started : WindowFixture {
    Started() { prompter.journal = settings.journal = &journal; }
    QStringList journal;
};

// What start-up asks and stores, from what the settings hold and what the user does.
TEST(Startup, AsksForThePdfProgramUntilOneIsChosenOrTheSearchIsDeclinedAndLocateAcrobatAsks) {
    const auto stored = [](const char* declined, const char* path) {
        return [=](Started& s) {
            s.settings.set("Quirepress/Settings/AcroCancelled", declined);
            if (path)
                s.settings.set("Quirepress/Settings/Acrobat", path);
        };
    };
    const struct {
        std::function<void(Started&)> arrange;
        std::optional<QString> chosen; // in the file dialog; none for a cancel
        QString journal;
        bool locate;
    } rows[] = {
        {stored("", nullptr), Server, FirstRun + " | " + Chosen, false},
        {stored("", nullptr), std::nullopt, FirstRun + " | box MS Office Only... | AcroCancelled=1",
         true},
        // Only a number equal to one means declined; after a server that did not answer the
        // flag is 0 and the path empty.
        {stored(" 1.0", nullptr), {}, "", true},
        {stored("yes", ""), Server, FirstRun + " | " + Chosen, false},
        {stored("0", "/pdf"), {}, "", false},
        {[](Started& s) { s.settings.failReads = true; }, {}, "box Error...", false},
        {[](Started& s) { s.settings.failWrites = true; }, Server, FirstRun + " | box Error...",
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.journal.toStdString());
        Started s;
        row.arrange(s);
        if (row.journal.startsWith(FirstRun))
            s.dialogs.script(row.chosen);
        for (qsizetype box = row.journal.count("box "); box > 0; --box)
            s.prompter.script(PromptAnswer::Ok);
        s.window.runStartupChecks();
        s.journal.replaceInStrings(QRegularExpression("(?s)^(box [^:]*):.*"), "\\1");
        EXPECT_EQ(s.journal.join(" | "), row.journal);
        EXPECT_EQ(s.find<QAction>("locatePdfServerAction")->isVisible(), row.locate);
        // A failure skips the rest, the ready state too.
        EXPECT_EQ(s.find<QLabel>("statusLabel")->text(),
                  row.journal.contains("box Error") ? "" : "Ready");
    }
    // Locate Acrobat stores a choice silently and ignores a cancel.
    Started s;
    s.settings.set("Quirepress/Settings/AcroCancelled", "1");
    s.window.runStartupChecks();
    s.dialogs.script(std::nullopt);
    s.window.locatePdfServer();
    s.dialogs.script(Server);
    s.window.locatePdfServer();
    EXPECT_EQ(s.journal.join(" | "), Chosen);
    EXPECT_TRUE(s.find<QAction>("locatePdfServerAction")->isVisible())
        << "it stays until the program ends";
}

} // namespace
} // namespace qp::test
