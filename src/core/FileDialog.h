#pragma once

#include <QString>
#include <optional>

namespace qp {

struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString title;
    QString filter; // description and pattern pairs separated by '|'
    QString initDir;
    QString fileName;
};

// Shows a real dialog; returns the chosen path, or nothing when the user cancelled.
class FileDialogBackend {
public:
    virtual ~FileDialogBackend() = default;
    virtual std::optional<QString> choose(const FileDialogRequest& request) = 0;
};

// The one file dialog the main window shares between all its users. Its properties keep
// their values from one use to the next, so a use inherits whatever it does not set.
class FileDialog {
public:
    explicit FileDialog(FileDialogBackend& backend) : m_backend(backend) {}

    QString DialogTitle;
    QString Filter;
    QString InitDir;
    QString FileName;
    bool CancelError = false;

    // Both return when a file was chosen (FileName then holds its full path) or on a cancel
    // while CancelError is false (FileName unchanged); a cancel while CancelError is true
    // throws AppError 32755.
    void ShowOpen() { show(FileDialogRequest::Mode::Open); }
    void ShowSave() { show(FileDialogRequest::Mode::Save); }

private:
    void show(FileDialogRequest::Mode mode);

    FileDialogBackend& m_backend;
};

} // namespace qp
