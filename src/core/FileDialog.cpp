#include "core/FileDialog.h"

#include "core/AppError.h"

namespace qp {

void SharedFileDialog::show(FileDialogRequest::Mode mode) {
    const auto chosen = m_backend.choose({mode, m_title, m_filter, m_initialDir, m_fileName});
    if (chosen) {
        m_fileName = *chosen;
        return;
    }
    if (m_throwsOnCancel)
        throw AppError(ErrorNumber::CancelError, QStringLiteral("Cancel was selected."));
}

} // namespace qp
