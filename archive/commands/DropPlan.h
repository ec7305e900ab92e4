#pragma once
// What a drop of files from the file manager onto the file list does: open one
// archive, start the add command with the dropped files and folders, or refuse
// because the open archive's format takes no files.

#include <functional>
#include <string>
#include <vector>

#include "archive/core/ArchiveFlags.h"

namespace quarva::archive {

inline constexpr char kAddNotSupported[] = "Add to archive not supported for this format";

// The extensions that make a dropped file count as an archive.
bool isArchiveExtension(const std::string& extension);

struct DropPlan {
    enum class Action { OpenArchive, Add, Refuse } action = Action::Add;
    std::string archive;  // OpenArchive
    std::vector<std::string> files, folders;
};

// `kind` is the open archive's kind (zip and a new library archive take files); `isFolder` tells an
// existing folder. Paths are checked in order: as long as no archive has been seen,
// a kind that takes no files refuses the drop.
DropPlan planDrop(const std::vector<std::string>& paths, ArchiveKind kind,
                  const std::function<bool(const std::string&)>& isFolder);

}  // namespace quarva::archive
