#pragma once

#include "app/AcrobatSettings.h"
#include "core/FileDialog.h"
#include "core/Prompter.h"

namespace qp {

// What the start-up needs of the main window.
class StartupView {
public:
    virtual ~StartupView() = default;
    virtual void showLocateAcrobat() = 0; // mnuLocateAcro and mnuLine5 made visible
    virtual void setReadyState() = 0;
    virtual void centreOnScreen() = 0;
};

// The main window's load sequence and "Locate Acrobat": make sure the program knows where
// the PDF printing program is, asking on the first run, and remember a refusal.
class StartupChecks {
public:
    StartupChecks(StartupView& view, SettingsStore& store, Prompter& prompter, FileDialog& dlgWrd,
                  QString searchDir)
        : m_view(view), m_settings(store), m_prompter(prompter), m_dlgWrd(dlgWrd),
          m_searchDir(std::move(searchDir)) {}

    void Form_Load();
    void mnuLocateAcro_Click();

private:
    void searchForAcrobat();
    void declinedBranch();

    StartupView& m_view;
    AcrobatSettings m_settings;
    Prompter& m_prompter;
    FileDialog& m_dlgWrd;
    QString m_searchDir; // where the search starts: the folder that holds the program
};

} // namespace qp
