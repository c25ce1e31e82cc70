#include "platform/libreoffice/OfficeProfile.h"

#include "core/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace qp {

namespace {

QByteArray item(const char* path, const char* name, const QString& value) {
    return QByteArray("<item oor:path=\"") + path + "\"><prop oor:name=\"" + name +
           "\" oor:op=\"fuse\"><value>" + value.toHtmlEscaped().toUtf8() +
           "</value></prop></item>\n";
}

// The session's own runtime folder when there is one: the system empties it at logout, so not
// even a killed program leaves a profile there for long.
QString profileParent() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
}

} // namespace

QString OfficeProfile::installedVersion(const QString& programDir) {
    QFile rc(programDir + QStringLiteral("/bootstraprc"));
    if (!rc.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    // ProductKey=LibreOffice 7.4
    static const QRegularExpression key(QStringLiteral("^ProductKey=.*?(\\d+\\.\\d+)\\s*$"),
                                        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = key.match(QString::fromUtf8(rc.readAll()));
    return match.hasMatch() ? match.captured(1) : QString();
}

OfficeProfile::OfficeProfile(const QString& programDir)
    : m_dir(profileParent() + QStringLiteral("/quirepress-office-XXXXXX")) {
    if (!m_dir.isValid() || !QDir().mkpath(m_dir.filePath(QStringLiteral("user"))))
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Cannot create a LibreOffice profile folder in %1.")
                           .arg(profileParent()));
    QByteArray xcu = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                     "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                     "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
    const QString version = installedVersion(programDir);
    if (!version.isEmpty()) {
        // A profile of the installed version is not migrated or set up again at start.
        xcu += item("/org.openoffice.Setup/Product", "ooSetupLastVersion", version);
        xcu += item("/org.openoffice.Setup/Office", "ooSetupInstCompleted", QStringLiteral("true"));
    }
    xcu +=
        item("/org.openoffice.Setup/Office", "FirstStartWizardCompleted", QStringLiteral("true"));
    // A worksheet prints alone: Calc prints the active sheet unless told otherwise.
    xcu += item("/org.openoffice.Office.Calc/Print/Other", "AllSheets", QStringLiteral("false"));
    // An object embedded from another Office program prints from the picture the document keeps
    // of it. Made into a live object of the office's own, it prints the same, but a deck full of
    // worksheets then takes many seconds more to open.
    for (const char* conversion :
         {"ExcelToCalc", "WinWordToWriter", "PowerPointToImpress", "MathTypeToMath"})
        xcu += item("/org.openoffice.Office.Common/Filter/Microsoft/Import", conversion,
                    QStringLiteral("false"));
    // Macros never run, whatever a document asks for.
    xcu += item("/org.openoffice.Office.Common/Security/Scripting", "MacroSecurityLevel",
                QStringLiteral("3"));
    xcu += item("/org.openoffice.Office.Common/Security/Scripting", "DisableMacrosExecution",
                QStringLiteral("true"));
    // Nothing to recover or to look up on the network.
    xcu += item("/org.openoffice.Office.Recovery/AutoSave", "Enabled", QStringLiteral("false"));
    xcu += item("/org.openoffice.Office.Recovery/RecoveryInfo", "Enabled", QStringLiteral("false"));
    xcu += item("/org.openoffice.Office.Common/Misc", "UseDocumentSystemFileLocking",
                QStringLiteral("false"));
    xcu += item("/org.openoffice.Office.Common/Misc", "UseLocking", QStringLiteral("false"));
    xcu += "</oor:items>\n";

    writeFile(QStringLiteral("user/registrymodifications.xcu"), xcu);
    // Without the build its extensions were set up for, the office sets them up, ends and
    // asks to be started again: a start ahead of the first document would be lost that way.
    const QByteArray build = installedBuild(programDir);
    if (!build.isEmpty() && QDir().mkpath(m_dir.filePath(QStringLiteral("user/extensions"))))
        writeFile(QStringLiteral("user/extensions/buildid"), build);
}

QByteArray OfficeProfile::installedBuild(const QString& programDir) {
    QFile rc(programDir + QStringLiteral("/versionrc"));
    if (!rc.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    // buildid=40(Build:2)
    for (const QByteArray& line : rc.readAll().split('\n'))
        if (line.startsWith("buildid="))
            return line.mid(8).trimmed();
    return {};
}

void OfficeProfile::writeFile(const QString& relative, const QByteArray& content) const {
    QFile file(m_dir.filePath(relative));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        throw AppError(ErrorNumber::PermissionDenied,
                       QStringLiteral("Cannot write the LibreOffice profile in %1.").arg(path()));
}

QString OfficeProfile::url() const {
    return QUrl::fromLocalFile(m_dir.path()).toString();
}

} // namespace qp
