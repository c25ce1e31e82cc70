#pragma once

#include "help/HelpViewer.h"
#include "support/Fakes.h"
#include "ui/MainWindow.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace qp::test {

// Shows the kinds of file it was given programs for, and writes down what it showed.
struct RecordingHelpViewer : HelpViewer {
    bool show(const QString& path, quintptr ownerWindow) override {
        if (fails)
            throw AppError(ErrorNumber::FileNotFound, "Not found");
        if (!programsFor.contains(QFileInfo(path).suffix()))
            return false;
        opened << path + " for " + QString::number(ownerWindow);
        return true;
    }
    QStringList programsFor{"chm", "html"};
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
