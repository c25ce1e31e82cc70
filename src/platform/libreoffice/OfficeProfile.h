#pragma once

#include <QString>
#include <QTemporaryDir>

namespace qp {

// A private LibreOffice user profile in a temporary folder, seeded so that the office
// starts as an already set-up installation of its own version (no first-start work) and
// prints the way the adapter expects. Removed with this object.
class OfficeProfile {
public:
    explicit OfficeProfile(const QString& programDir);

    // For -env:UserInstallation=.
    QString url() const;
    QString path() const { return m_dir.path(); }
    // The installed version as LibreOffice records it ("7.4"), empty when unknown.
    static QString installedVersion(const QString& programDir);
    // The installed build as LibreOffice records it ("40(Build:2)"), empty when unknown.
    static QByteArray installedBuild(const QString& programDir);

private:
    void writeFile(const QString& relative, const QByteArray& content) const;

    QTemporaryDir m_dir;
};

} // namespace qp
