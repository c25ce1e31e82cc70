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

void StartupChecks::searchForAcrobat() {
    m_dlgWrd.DialogTitle = QStringLiteral("Find Adobe Acrobat");
    m_dlgWrd.InitDir = m_searchDir;
    m_dlgWrd.Filter = kProgramFilter;
    m_dlgWrd.CancelError = true;
    m_dlgWrd.FileName = QString();
    m_dlgWrd.ShowOpen();
    m_settings.setPath(m_dlgWrd.FileName);
    m_settings.setDeclined(false);
}

void StartupChecks::declinedBranch() {
    m_prompter.tell(QStringLiteral("You have chosen to cancel the search for Acrobat.\r\n"
                                   "You will only have the ability to print MS Office files "
                                   "(*.doc | *.xls | *.ppt)."),
                    QStringLiteral("MS Office Only..."), PromptIcon::Information);
    m_settings.setDeclined(true);
    m_view.showLocateAcrobat();
    m_view.setReadyState();
    m_view.centreOnScreen();
}

void StartupChecks::Form_Load() {
    try {
        if (m_settings.declined()) {
            m_view.showLocateAcrobat();
        } else if (m_settings.path().isEmpty()) {
            m_prompter.tell(QStringLiteral("The first time you run this program, "
                                           " you need to locate Adobe Acrobat for us.\r\n"
                                           "If you choose to cancel you may still use this "
                                           "product for MS Office files."),
                            QStringLiteral("Find Acrobat..."), PromptIcon::Information);
            searchForAcrobat();
        }
        m_view.setReadyState();
        m_view.centreOnScreen();
    } catch (const AppError& error) {
        if (error.number() == ErrorNumber::CancelError) {
            // A failure inside the declined branch itself must not end the program either.
            try {
                declinedBranch();
            } catch (const AppError& inner) {
                m_prompter.tell(inner.description(), kTitleError, PromptIcon::Critical);
            }
            return;
        }
        m_prompter.tell(error.description(), kTitleError, PromptIcon::Critical);
    }
}

void StartupChecks::mnuLocateAcro_Click() {
    try {
        searchForAcrobat();
    } catch (const AppError& error) {
        if (error.number() == ErrorNumber::CancelError)
            return;
        m_prompter.tell(QString::number(error.number()) + QLatin1Char(' ') + error.description(),
                        kTitleError, PromptIcon::Critical);
    }
}

} // namespace qp
