// GLib's headers first: Qt's keywords would clash with their member names.
#include <gio/gio.h>

#include "platform/DesktopHelpViewer.h"

#include <QFile>
#include <memory>

namespace qp {

namespace {

template <typename T> struct GObjectDeleter {
    void operator()(T* object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

// The desktop's program for files named like path, or none. The kind is told by the name,
// as a file manager does, so a missing file still finds the program that would show it.
GObjectPtr<GAppInfo> programFor(const QByteArray& path) {
    gchar* type = g_content_type_guess(path.constData(), nullptr, 0, nullptr);
    GObjectPtr<GAppInfo> program(g_app_info_get_default_for_type(type, FALSE));
    g_free(type);
    return program;
}

} // namespace

bool DesktopHelpViewer::show(const QString& path, quintptr /*ownerWindow*/) {
    // A desktop program runs as its own process and has no notion of an owner window.
    const QByteArray localPath = QFile::encodeName(path);
    const GObjectPtr<GAppInfo> program = programFor(localPath);
    if (!program)
        return false;
    const GObjectPtr<GFile> file(g_file_new_for_path(localPath.constData()));
    GList files{file.get(), nullptr, nullptr};
    GError* error = nullptr;
    const bool started = g_app_info_launch(program.get(), &files, nullptr, &error);
    if (error)
        g_error_free(error);
    return started;
}

} // namespace qp
