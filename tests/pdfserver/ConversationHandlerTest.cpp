#include "ConversationHandler.h"
#include "CommandRefused.h"
#include "JobSender.h"
#include "PdfExaminer.h"

#include <QMap>
#include <QStringList>
#include <gtest/gtest.h>

namespace qp::pdfserver {
namespace {

// Knows the documents a test lays out; any other path cannot be opened.
class FakeExaminer : public PdfExaminer {
public:
    PdfFacts examine(const QString& path) override {
        ++examinations;
        if (!documents.contains(path))
            throw CommandRefused(QStringLiteral("Cannot open ") + path);
        return documents.value(path);
    }
    QMap<QString, PdfFacts> documents;
    int examinations = 0;
};

class RecordingSender : public JobSender {
public:
    void send(const QString& path) override {
        if (!failure.isEmpty())
            throw CommandRefused(failure);
        jobs.append(path);
    }
    QStringList jobs;
    QString failure;
};

QString open(const QString& path) {
    return QStringLiteral("[DocOpen(\"%1\")]").arg(path);
}
QString print(const QString& path) {
    return QStringLiteral("[FilePrintSilent(\"%1\")]").arg(path);
}

class ConversationHandlerTest : public ::testing::Test {
protected:
    ConversationHandlerTest() {
        examiner.documents[a] = PdfFacts{3, true};
        examiner.documents[b] = PdfFacts{1, true};
        examiner.documents[locked] = PdfFacts{1, false};
    }
    QString refusalOf(const QString& command) {
        try {
            handler.execute(command);
        } catch (const CommandRefused& refusal) {
            return refusal.message();
        }
        return {};
    }

    const QString a = QStringLiteral("/docs/a.pdf");
    const QString b = QStringLiteral("/docs/b b.pdf");
    const QString locked = QStringLiteral("/docs/no printing.pdf");
    FakeExaminer examiner;
    RecordingSender sender;
    ConversationHandler handler{examiner, sender};
};

TEST_F(ConversationHandlerTest, EveryPrintIsOneJobInTheOrderReceived) {
    handler.execute(open(a));
    handler.execute(open(b));
    handler.execute(print(b));
    handler.execute(print(a));
    handler.execute(print(a));
    EXPECT_EQ(sender.jobs, (QStringList{b, a, a}));
}

TEST_F(ConversationHandlerTest, PrintBeforeOpenIsRefusedAndPrintsNothing) {
    const QString message = refusalOf(print(a));
    EXPECT_TRUE(message.contains(QStringLiteral("has not been opened"))) << message.toStdString();
    EXPECT_TRUE(message.contains(a));
    EXPECT_TRUE(sender.jobs.isEmpty());

    // Opening another document does not open this one.
    handler.execute(open(b));
    EXPECT_FALSE(refusalOf(print(a)).isEmpty());
    EXPECT_TRUE(sender.jobs.isEmpty());
}

TEST_F(ConversationHandlerTest, DocumentThatCannotBeOpenedStaysUnopened) {
    const QString missing = QStringLiteral("/docs/missing.pdf");
    EXPECT_EQ(refusalOf(open(missing)), QStringLiteral("Cannot open ") + missing);
    EXPECT_TRUE(refusalOf(print(missing)).contains(QStringLiteral("has not been opened")));
    EXPECT_TRUE(sender.jobs.isEmpty());
}

TEST_F(ConversationHandlerTest, PrintingNotAllowedOpensButIsRefusedOnPrint) {
    handler.execute(open(locked));
    const QString message = refusalOf(print(locked));
    EXPECT_TRUE(message.contains(QStringLiteral("does not allow printing")))
        << message.toStdString();
    EXPECT_TRUE(sender.jobs.isEmpty());
}

TEST_F(ConversationHandlerTest, DocumentIsLookedAtAgainWhenPrinted) {
    handler.execute(open(a));
    // Replaced or removed after it was opened.
    examiner.documents.remove(a);
    EXPECT_EQ(refusalOf(print(a)), QStringLiteral("Cannot open ") + a);
    EXPECT_TRUE(sender.jobs.isEmpty());
}

TEST_F(ConversationHandlerTest, RelativePathsAreRefusedBeforeAnyFileIsTouched) {
    examiner.documents[QStringLiteral("a.pdf")] = PdfFacts{1, true};
    const QString message = refusalOf(open(QStringLiteral("a.pdf")));
    EXPECT_TRUE(message.contains(QStringLiteral("absolute"))) << message.toStdString();
    EXPECT_EQ(examiner.examinations, 0);
}

TEST_F(ConversationHandlerTest, FailureOfThePrintingSystemReachesTheClient) {
    handler.execute(open(a));
    sender.failure = QStringLiteral("Cannot print: no default printer");
    EXPECT_EQ(refusalOf(print(a)), sender.failure);
    // The document stays open: once a printer is there, printing works.
    sender.failure.clear();
    handler.execute(print(a));
    EXPECT_EQ(sender.jobs, QStringList{a});
}

TEST_F(ConversationHandlerTest, UnknownCommandIsRefused) {
    EXPECT_TRUE(refusalOf(QStringLiteral("[AppExit()]")).contains(QStringLiteral("[AppExit()]")));
    EXPECT_TRUE(sender.jobs.isEmpty());
}

} // namespace
} // namespace qp::pdfserver
