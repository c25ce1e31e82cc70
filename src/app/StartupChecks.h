#pragma once

#include "app/PdfServerSettings.h"
#include "core/FileDialog.h"
#include "core/Prompter.h"

namespace qp {

// What the start-up needs of the main window.
class StartupView {
public:
    virtual ~StartupView() = default;
    virtual void showLocatePdfServer() = 0; // the menu entry and its separator made visible
    virtual void setReadyState() = 0;
    virtual void centreOnScreen() = 0;
};

// The main window's load sequence and "Locate Acrobat": make sure the program knows where
// the PDF printing program is, asking on the first run, and remember a refusal.
class StartupChecks {
public:
    StartupChecks(StartupView& view, SettingsStore& store, Prompter& prompter,
                  SharedFileDialog& fileDialog, QString searchDir)
        : m_view(view), m_settings(store), m_prompter(prompter), m_fileDialog(fileDialog),
          m_searchDir(std::move(searchDir)) {}

    // Runs once, before the window is first shown.
    void run();
    // "Locate Acrobat" from the File menu.
    void locatePdfServer();

private:
    void askForPdfServer();
    void rememberDeclined();

    StartupView& m_view;
    PdfServerSettings m_settings;
    Prompter& m_prompter;
    SharedFileDialog& m_fileDialog;
    QString m_searchDir; // where the search starts: the folder that holds the program
};

} // namespace qp
