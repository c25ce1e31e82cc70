#include "app/FileMover.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qp {

QString moveIntoFolder(const QString& file, const QString& folder, QString& error) {
    const QDir target(folder);
    if (!target.mkpath(QStringLiteral("."))) {
        error = QStringLiteral("the folder %1 cannot be made").arg(folder);
        return {};
    }
    const QFileInfo info(file);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int number = 1; number < 100000; ++number) {
        const QString name =
            number == 1
                ? info.fileName()
                : QStringLiteral("%1 (%2)%3").arg(info.completeBaseName()).arg(number).arg(suffix);
        const QString destination = target.absoluteFilePath(name);
        if (QFileInfo::exists(destination))
            continue;
        // QFile refuses to rename onto an existing name, also one that appears meanwhile.
        QFile moved(file);
        if (moved.rename(destination))
            return destination;
        if (!QFileInfo::exists(destination)) {
            error = moved.errorString();
            return {};
        }
    }
    error = QStringLiteral("no free name is left in %1").arg(folder);
    return {};
}

} // namespace qp
