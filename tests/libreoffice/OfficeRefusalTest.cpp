// Office entries whose job CUPS never received end the run with an error; the office's own
// return from printing is never taken for a printed document.

#include "OfficeTestSupport.h"
#include "platform/libreoffice/LibreOfficeApplication.h"
#include "printing/BatchRun.h"
#include "printing/PdfPrintServer.h"
#include "printing/ProgramStarter.h"
#include "support/Fakes.h"
#include "support/ListRunView.h"
#include "support/PrivateCups.h"
#include "support/QStringPrinting.h"

#include <csignal>
#include <thread>

namespace qp::test {
namespace {

using namespace Qt::StringLiterals;

class NoProgramStarter : public ProgramStarter {
public:
    void start(const QString& program) override { ADD_FAILURE() << program.toStdString(); }
};

class NoPdfPrintServer : public PdfPrintServer {
public:
    void connect() override { ADD_FAILURE(); }
    void openDocument(const QString&, Timeout) override {}
    void printDocument(const QString&, Timeout) override {}
    void disconnect() override {}
};

class OfficeRefusal : public OfficeSuite {
protected:
    // The one message box a run of that entry shows, answered with the answer given.
    FakePrompter::Box runBatch(const QString& entry, PromptAnswer answer) {
        ListRunView view;
        view.entries = {entry};
        FakePrompter prompter;
        prompter.script(answer);
        FakeSettingsStore settings;
        NoProgramStarter starter;
        NoPdfPrintServer conversation;
        BatchRun(view, prompter, settings, *office, starter, conversation).run();
        EXPECT_EQ(prompter.boxes.size(), 1u);
        return prompter.boxes.empty() ? FakePrompter::Box{} : prompter.boxes.back();
    }
};

TEST_F(OfficeRefusal, EntriesOnAQueueNotAcceptingJobsEndTheRunWithCupsReason) {
    cups->setAccepting(Queue, false);
    // The workbook is refused before its first worksheet, so none of the three is printed.
    for (const QString& path : {fixtures->doc(), fixtures->xls(), fixtures->ppt()}) {
        SCOPED_TRACE(path.toStdString());
        const FakePrompter::Box box = runBatch(path, PromptAnswer::Ok);
        EXPECT_EQ(box.title, u"Error..."_s);
        EXPECT_EQ(box.text, u"Error: 440\r\nCannot print %1 on %2: Destination \"%2\" is not "
                            "accepting jobs.\r\nAs a result the batch will be terminated."_s.arg(
                                path, Queue));
    }
    cups->setAccepting(Queue, true);
    EXPECT_EQ(office->openDocumentCount(), 0);
    newJobs(0);
}

TEST_F(OfficeRefusal, StoppedQueueKeepsTheJobAndTheRunEndsNormally) {
    cups->setEnabled(Queue, false);
    EXPECT_EQ(runBatch(fixtures->doc(), PromptAnswer::No).title, u"Save batch..."_s);
    EXPECT_EQ(cups->pendingJobs(Queue), 1);
    cups->setEnabled(Queue, true);
    newJobs(1);
}

TEST_F(OfficeRefusal, QueueRemovedWhileTheOfficePrintsFailsTheEntry) {
    // Long enough that the queue goes while the office renders, after it has chosen it.
    const QString lines = u"QPLONG line of a long letter\n"_s.repeated(12000);
    const QString path =
        fixtures->convert(fixtures->file(u"long.txt"_s, lines.toUtf8()), u"doc:MS Word 97"_s);
    auto document = office->open(path);
    // Once printed there, the document is laid out for the queue and renders at once.
    document->print();
    newJobs(1);
    const qint64 group = office->officeProcessGroup();
    std::thread remover([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ::kill(-static_cast<pid_t>(group), SIGSTOP);
        cups->removeQueue(Queue);
        ::kill(-static_cast<pid_t>(group), SIGCONT);
    });
    const AppError error = failureOf([&] { document->print(); });
    remover.join();
    cups->addKeepingQueue(Queue, true);
    EXPECT_EQ(
        error.description(),
        u"Cannot print %1 on %2: The printer or class \"%2\" does not exist."_s.arg(path, Queue));
    EXPECT_EQ(error.number(), ErrorNumber::AutomationError);
    newJobs(0);
}

} // namespace
} // namespace qp::test
