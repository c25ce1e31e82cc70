#include "core/FileDialog.h"

#include "core/AppError.h"

namespace qp {

void FileDialog::show(FileDialogRequest::Mode mode) {
    const auto chosen = m_backend.choose({mode, DialogTitle, Filter, InitDir, FileName});
    if (chosen) {
        FileName = *chosen;
        return;
    }
    if (CancelError)
        throw AppError(ErrorNumber::CancelError, QStringLiteral("Cancel was selected."));
}

} // namespace qp
