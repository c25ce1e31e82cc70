#include "app/StartupChecks.h"

#include "core/AppError.h"
#include "core/Messages.h"

namespace qp {

namespace {

const QString kTitleError = messages::errorTitle();

// The file dialog on Linux lists executable files for "*.exe", since programs there have no
// such ending.
const QString kProgramFilter = QStringLiteral("Program Files (*.exe)|*.exe");

} // namespace

void StartupChecks::askForPdfServer() {
    m_fileDialog.setTitle(QStringLiteral("Find Adobe Acrobat"));
    m_fileDialog.setInitialDir(m_searchDir);
    m_fileDialog.setFilter(kProgramFilter);
    m_fileDialog.setThrowsOnCancel(true);
    m_fileDialog.setFileName(QString());
    m_fileDialog.showOpen();
    m_settings.setPath(m_fileDialog.fileName());
    m_settings.setDeclined(false);
}

void StartupChecks::rememberDeclined() {
    m_prompter.tell(QStringLiteral("You have chosen to cancel the search for Acrobat.\r\n"
                                   "You will only have the ability to print MS Office files "
                                   "(*.doc | *.xls | *.ppt)."),
                    QStringLiteral("MS Office Only..."), PromptIcon::Information);
    m_settings.setDeclined(true);
    m_view.showLocatePdfServer();
    m_view.setReadyState();
    m_view.centreOnScreen();
}

void StartupChecks::run() {
    try {
        if (m_settings.declined()) {
            m_view.showLocatePdfServer();
        } else if (m_settings.path().isEmpty()) {
            m_prompter.tell(QStringLiteral("The first time you run this program, "
                                           " you need to locate Adobe Acrobat for us.\r\n"
                                           "If you choose to cancel you may still use this "
                                           "product for MS Office files."),
                            QStringLiteral("Find Acrobat..."), PromptIcon::Information);
            askForPdfServer();
        }
        m_view.setReadyState();
        m_view.centreOnScreen();
    } catch (const AppError& error) {
        if (error.number() == ErrorNumber::CancelError) {
            // A failure inside the declined branch itself must not end the program either.
            try {
                rememberDeclined();
            } catch (const AppError& inner) {
                m_prompter.tell(inner.description(), kTitleError, PromptIcon::Critical);
            }
            return;
        }
        m_prompter.tell(error.description(), kTitleError, PromptIcon::Critical);
    }
}

void StartupChecks::locatePdfServer() {
    try {
        askForPdfServer();
    } catch (const AppError& error) {
        if (error.number() == ErrorNumber::CancelError)
            return;
        m_prompter.tell(error.numberAndDescription(), kTitleError, PromptIcon::Critical);
    }
}

} // namespace qp
