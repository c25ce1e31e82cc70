#pragma once

#include "core/AppError.h"
#include "support/PrivateCups.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace qp::test {

// One PDF of the shared corpus and what its manifest says about it.
struct CorpusPdf {
    QString path;
    int pages = 0; // 0 when it cannot be opened without its password
    bool needsPassword = false;
    bool printingAllowed = true;
};

// The PDFs listed in QP_CORPUS_DIR/MANIFEST.tsv; fails the test when the corpus is missing.
std::vector<CorpusPdf> corpusPdfs();
QString corpusPdf(const QString& fileName);

// The two commands exactly as the program sends them.
inline QString openCommand(const QString& path) {
    return QStringLiteral("[DocOpen(\"%1\")]").arg(path);
}
inline QString printCommand(const QString& path) {
    return QStringLiteral("[FilePrintSilent(\"%1\")]").arg(path);
}

QByteArray fileBytes(const QString& path);
// Creates the folders on the way; fails the test when it cannot copy.
void copyFile(const QString& from, const QString& to);
// The page count pdfinfo reads from a kept job, or -1 when it cannot read one.
int pdfPageCount(const QString& path);

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
    void signal(int signalNumber);
};

// A private CUPS server for the suite, whose default queue keeps every job as a file.
class KeptJobsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override { endServingProcess(); }
    // The jobs kept since the test began, once there are expected of them.
    QStringList newJobs(int expected, int timeoutMs = 30000);

    static const QString queue;
    static PrivateCups* cups;
    int jobsBefore = 0;
};

} // namespace qp::test
