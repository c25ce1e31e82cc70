#pragma once

#include <QProcess>
#include <QString>
#include <memory>

namespace qp::test {

// The real quirepress-pdf-server of this build, as the tests start and end it on the
// session bus of the test run.
QString pdfServerProgram();

// The unique bus name that owns the AcroView conversation now, or the empty text.
QString conversationOwner();
// Waits until someone owns (present) or nobody owns (!present) the conversation's name.
bool waitForConversationOwner(bool present, int timeoutMs);
// Ends whatever process serves the conversation, also one started detached by a batch
// run, and waits until the name is free. Tests call it so that nothing outlives them.
void endServingProcess();

// A server started by the test itself, ended (SIGKILL) when the object goes.
class PdfServerProcess {
public:
    // idleSeconds: QP_PDF_SERVER_IDLE_SECONDS for this server.
    explicit PdfServerProcess(double idleSeconds = 60);
    ~PdfServerProcess();

    // Starts the process; with waitForName, until it owns the conversation's name.
    void start(bool waitForName = true);
    qint64 pid() const;
    void signal(int signalNumber);
    QProcess& process() { return *m_process; }

private:
    std::unique_ptr<QProcess> m_process;
};

} // namespace qp::test
