#pragma once

#include "core/FileDialog.h"

#include <QStringList>

namespace qp {

// The file dialog as Qt's own widget-based QFileDialog: the same look and behaviour whatever
// platform theme the desktop uses (a native dialog would ignore some of our properties).
class QtFileDialogBackend : public FileDialogBackend {
public:
    std::optional<QString> choose(const FileDialogRequest& request) override;

    // "Word Files (*.doc)|*.doc|Excel Files (*.xls)|*.xls" -> Qt name filters.
    static QStringList nameFilters(const QString& filter);
};

} // namespace qp
