// Opens a full batch file (32767 entries) into the main window's list and saves it back, and
// prints how long each took. Exits non-zero only when the batch does not survive the trip.
#include "BenchSupport.h"
#include "batches/BatchFile.h"
#include "batches/BatchFileIO.h"
#include "core/AppError.h"
#include "core/FileDialog.h"
#include "core/Prompter.h"
#include "core/SettingsStore.h"
#include "help/HelpViewer.h"
#include "printing/OfficeDocument.h"
#include "printing/PdfPrintServer.h"
#include "printing/ProgramStarter.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>

namespace {

using namespace qp;

// Every file dialog chooses the same file.
class FixedChoice : public FileDialogBackend {
public:
    QString path;
    std::optional<QString> choose(const FileDialogRequest&) override { return path; }
};

// The printing, settings and help seams are not reached by opening and saving a batch.
class NotUsed : public SettingsStore,
                public OfficeApplication,
                public ProgramStarter,
                public PdfPrintServer,
                public HelpViewer {
public:
    QString read(const QString&, const QString&, const QString&) override { fail(); }
    void write(const QString&, const QString&, const QString&, const QString&) override { fail(); }
    std::unique_ptr<OfficeDocument> open(const QString&) override { fail(); }
    void setPrintOptions(const PrintOptions&) override {}
    void start(const QString&) override { fail(); }
    bool hasEnded() const override { fail(); }
    void connect(Reply) override { fail(); }
    void openDocument(const QString&, Timeout, Reply) override { fail(); }
    void printDocument(const QString&, const PrintOptions&, Timeout, PrintReply) override {
        fail();
    }
    void disconnect() override {}
    bool show(const QString&, quintptr) override { fail(); }

private:
    [[noreturn]] static void fail() {
        throw AppError(ErrorNumber::AutomationError, QStringLiteral("not used by the benchmark"));
    }
};

QStringList fullBatch() {
    QStringList entries;
    entries.reserve(MainWindow::MaxEntries);
    for (int i = 0; i < MainWindow::MaxEntries; ++i) {
        entries.append(QStringLiteral("/home/zoë/Documents/Quartalsberichte %1/Übersicht %2.%3")
                           .arg(i / 100)
                           .arg(i, 5, 10, QLatin1Char('0'))
                           .arg(QLatin1String(i % 2 ? "doc" : "pdf")));
    }
    return entries;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 2;
    }

    const QByteArray original = formatBatch(fullBatch());
    const QString openedPath = dir.filePath(QStringLiteral("full.qpb"));
    const QString savedPath = dir.filePath(QStringLiteral("saved.qpb"));
    replaceFileContents(openedPath, original);

    FixedChoice dialogs;
    bench::CountingPrompter prompter(PromptAnswer::Ok);
    NotUsed unused;
    MainWindow window(MainWindowServices{prompter, dialogs, unused, unused, unused, unused, unused,
                                         dir.path(), [] {}, dir.path()});

    QElapsedTimer timer;
    dialogs.path = openedPath;
    timer.start();
    window.openBatchFile();
    const qint64 openMs = timer.elapsed();

    dialogs.path = savedPath;
    timer.start();
    window.saveBatchFile();
    const qint64 saveMs = timer.elapsed();

    std::printf("open  %d entries (%lld bytes): %lld ms\n", MainWindow::MaxEntries,
                static_cast<long long>(original.size()), static_cast<long long>(openMs));
    std::printf("save  %d entries: %lld ms\n", MainWindow::MaxEntries,
                static_cast<long long>(saveMs));

    const qsizetype listed = window.entries().size();
    if (prompter.boxes != 0 || listed != MainWindow::MaxEntries || readAll(savedPath) != original) {
        std::fprintf(stderr, "the batch did not survive the trip: %lld entries listed\n",
                     static_cast<long long>(listed));
        return 1;
    }
    return 0;
}
