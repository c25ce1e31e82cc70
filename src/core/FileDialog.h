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

// The one file dialog the main window shares between all its users. Its settings keep their
// values from one use to the next, so a use inherits whatever it does not set.
class SharedFileDialog {
public:
    explicit SharedFileDialog(FileDialogBackend& backend) : m_backend(backend) {}

    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    QString filter() const { return m_filter; }
    void setFilter(const QString& filter) { m_filter = filter; }
    QString initialDir() const { return m_initialDir; }
    void setInitialDir(const QString& dir) { m_initialDir = dir; }
    QString fileName() const { return m_fileName; }
    void setFileName(const QString& fileName) { m_fileName = fileName; }
    bool throwsOnCancel() const { return m_throwsOnCancel; }
    void setThrowsOnCancel(bool throws) { m_throwsOnCancel = throws; }

    // Both return when a file was chosen (fileName() then holds its full path) or on a cancel
    // while throwsOnCancel() is false (fileName() unchanged); a cancel while it is true throws
    // AppError 32755.
    void showOpen() { show(FileDialogRequest::Mode::Open); }
    void showSave() { show(FileDialogRequest::Mode::Save); }

private:
    void show(FileDialogRequest::Mode mode);

    FileDialogBackend& m_backend;
    QString m_title;
    QString m_filter;
    QString m_initialDir;
    QString m_fileName;
    bool m_throwsOnCancel = false;
};

} // namespace qp
