#pragma once
// A destination folder that extraction writes into and never out of. The folder is
// held open, and every folder and file beneath it is reached from the last open
// folder with openat/mkdirat and O_NOFOLLOW, one component at a time: a folder that
// is swapped for a symbolic link between a check and its use cannot redirect a
// write, because nothing is ever looked up by its full path again.
//
// Names given here are already safe relative names (platform/SafePath.h).

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "platform/AtomicFile.h"

namespace quarva::platform {

class SafeDestination {
public:
    SafeDestination() = default;
    ~SafeDestination();
    SafeDestination(const SafeDestination&) = delete;
    SafeDestination& operator=(const SafeDestination&) = delete;

    // Opens the root (which must exist; a link given as the root itself is
    // followed, since the user chose it).
    bool open(const std::filesystem::path& root, std::error_code& ec);
    const std::filesystem::path& root() const { return root_; }

    // Opens (creating when `create`) every folder of `components`, all beneath the
    // root; returns an owned descriptor of the last one, or -1 with ec. A component
    // that exists as a link or as a non-folder is refused (ec = not_a_directory or
    // too_many_symbolic_link_levels).
    int openFolder(const std::vector<std::string>& components, bool create, std::error_code& ec);

    // Starts an atomic write of the file `components` (the last one is the file
    // name; its folders are created). The file appears on `file.commit()`. An
    // existing link of that name is replaced, never written through. `existed`, when
    // given, tells whether something of that name was there already.
    bool createFile(const std::vector<std::string>& components, AtomicFile& file, std::error_code& ec,
                    mode_t mode = 0644, bool* existed = nullptr);

    // Creates a folder (and its parents).
    bool createFolder(const std::vector<std::string>& components, std::error_code& ec);

    // Creates a symbolic link `components` -> `target` when the target, resolved
    // from the link's own folder, stays inside the root (linkTargetInside of
    // SafePath.h); otherwise refused with ec = permission_denied.
    bool createSymlink(const std::vector<std::string>& components, const std::string& target, std::error_code& ec);

    // Creates a hard link `components` to the existing entry `existing`, both
    // beneath the root.
    bool createHardLink(const std::vector<std::string>& components, const std::vector<std::string>& existing,
                        std::error_code& ec);

    // lstat of an entry beneath the root, without following links on the way.
    bool exists(const std::vector<std::string>& components) const;

private:
    // The folder of components[0, count), opened beneath the root; the last one
    // reached stays open, so that the files of one folder do not walk the whole path
    // again each. Borrowed: the caller does not close it.
    int folder(const std::vector<std::string>& components, std::size_t count, bool create, std::error_code& ec) const;
    void forgetFolder() const;

    int rootFd_ = -1;
    mutable std::mutex folderLock_;  // the calls may come from several threads
    mutable int folderFd_ = -1;
    mutable std::vector<std::string> folderPath_;
    mutable bool folderCleaned_ = false;  // the folder held open is in cleaned_
    std::filesystem::path root_;
    // Folders already cleared of dead writers' temporaries by this destination:
    // each folder is looked through once, not once per file written into it.
    std::set<std::pair<dev_t, ino_t>> cleaned_;
};

}  // namespace quarva::platform
