#include "archive/ui/ShellFileOps.h"

#include <gio/gio.h>

namespace quarva::archive::ui {

namespace {

struct FileRef {
    explicit FileRef(const std::string& path) : file(g_file_new_for_path(path.c_str())) {}
    ~FileRef() { g_object_unref(file); }
    FileRef(const FileRef&) = delete;
    FileRef& operator=(const FileRef&) = delete;
    GFile* file;
};

ShellResult fromError(gboolean done, GError* error) {
    ShellResult result;
    if (!done) {
        result.status = error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_EXISTS) ? ShellResult::Status::Exists
                                                                                       : ShellResult::Status::Failed;
        result.error = error ? error->message : "";
    }
    if (error) g_error_free(error);
    return result;
}

void onProgress(goffset done, goffset total, gpointer data) {
    const auto* progress = static_cast<const ShellProgress*>(data);
    if (*progress) (*progress)(static_cast<std::uint64_t>(done), static_cast<std::uint64_t>(total));
}

template <typename Op>
ShellResult transfer(Op op, const std::string& source, const std::string& target, bool overwrite,
                     const ShellProgress& progress) {
    FileRef from(source), to(target);
    GError* error = nullptr;
    auto flags = static_cast<GFileCopyFlags>(G_FILE_COPY_NOFOLLOW_SYMLINKS |
                                             (overwrite ? G_FILE_COPY_OVERWRITE : G_FILE_COPY_NONE));
    gboolean done = op(from.file, to.file, flags, nullptr, onProgress, const_cast<ShellProgress*>(&progress), &error);
    return fromError(done, error);
}

}  // namespace

ShellResult trashFile(const std::string& path) {
    FileRef file(path);
    GError* error = nullptr;
    gboolean done = g_file_trash(file.file, nullptr, &error);
    return fromError(done, error);
}

ShellResult renameFile(const std::string& path, const std::string& newName) {
    FileRef file(path);
    GError* error = nullptr;
    GFile* renamed = g_file_set_display_name(file.file, newName.c_str(), nullptr, &error);
    if (renamed) g_object_unref(renamed);
    return fromError(renamed != nullptr, error);
}

ShellResult copyFile(const std::string& source, const std::string& target, bool overwrite,
                     const ShellProgress& progress) {
    return transfer(g_file_copy, source, target, overwrite, progress);
}

ShellResult moveFile(const std::string& source, const std::string& target, bool overwrite,
                     const ShellProgress& progress) {
    return transfer(g_file_move, source, target, overwrite, progress);
}

}  // namespace quarva::archive::ui
