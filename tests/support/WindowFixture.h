#pragma once

#include "help/HelpViewer.h"
#include "support/Fakes.h"
#include "ui/MainWindow.h"

#include <QTemporaryDir>

namespace qp::test {

struct RecordingHelpViewer : HelpViewer {
    void showContents(const QString& path, quintptr ownerWindow) override {
        opened << path + " for " + QString::number(ownerWindow);
        if (fails)
            throw AppError(ErrorNumber::FileNotFound, "Not found");
    }
    QStringList opened;
    bool fails = false;
};

// A main window wired to fakes.
struct WindowFixture {
    WindowFixture() { prompter.journal = settings.journal = &journal; }
    template <typename T = QWidget> T* find(const char* name) {
        return window.findChild<T*>(QLatin1String(name));
    }

    QStringList journal; // the message boxes and the settings written, in order
    FakePrompter prompter;
    FakeFileDialogBackend dialogs;
    FakeSettingsStore settings;
    QStringList officeJournal;
    FakeOffice office{officeJournal};
    FakePdfProgram pdf{officeJournal}; // the PDF program and its server
    RecordingHelpViewer help;
    QTemporaryDir dataHome;
    int endProgramCalls = 0;
    MainWindow window{MainWindowServices{prompter, dialogs, settings, office, pdf, pdf, help,
                                         "/opt/quirepress", [this] { ++endProgramCalls; },
                                         dataHome.filePath("BatchBin")}};
};

} // namespace qp::test
