#pragma once
// The desktop's file operations on the archive file itself, through GIO: to the
// trash (restorable from the file manager), rename, copy and move. Errors come
// back in the desktop's own words.

#include <cstdint>
#include <functional>
#include <string>

namespace quarva::archive::ui {

struct ShellResult {
    enum class Status { Done, Exists, Failed } status = Status::Done;
    std::string error;  // the desktop's text when Failed
    bool ok() const { return status == Status::Done; }
};

// Called while a copy or move runs with the bytes done and the total.
using ShellProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

ShellResult trashFile(const std::string& path);
// `newName` is a file name in the same folder.
ShellResult renameFile(const std::string& path, const std::string& newName);
// `target` is the full path of the copy; an existing target is Exists unless `overwrite`.
ShellResult copyFile(const std::string& source, const std::string& target, bool overwrite,
                     const ShellProgress& progress);
ShellResult moveFile(const std::string& source, const std::string& target, bool overwrite,
                     const ShellProgress& progress);

}  // namespace quarva::archive::ui
