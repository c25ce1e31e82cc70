#pragma once

#include "support/PrivateCups.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace qp::test {

// Fails the test unless the action fails with this number and words in its description.
void expectFailure(const std::function<void()>& action, long number, const QString& words = {});

// The real quirepress-pdf-server of this build.
QString pdfServerProgram();
// The unique bus name that owns the AcroView conversation now, or the empty text.
QString conversationOwner();
bool waitForConversationOwner(bool present, int timeoutMs);
// Ends whatever process serves the conversation, also one a batch run started detached,
// and waits until the name is free, so that nothing outlives a test.
void endServingProcess();

// A server the test starts itself, killed when the object goes.
class PdfServerProcess : public QProcess {
public:
    explicit PdfServerProcess(double idleSeconds = 60, const QString& busAddress = {});
    ~PdfServerProcess() override;
    // With waitForName, until it owns the conversation's name.
    void startServing(bool waitForName = true);
    void signal(int signalNumber) { ::kill(static_cast<pid_t>(processId()), signalNumber); }
};

// Kept jobs of a private CUPS server; no server outlives a test.
class ServingTest : public KeptJobsTest {
protected:
    void TearDown() override { endServingProcess(); }
};

} // namespace qp::test
