#pragma once
// Walking folders for files to add to an archive. One place reads folders for
// every packer of the suite; each packer decides what it keeps of what is found.
// Nothing is followed: a link is reported as a link, never entered, and every item
// is looked at without following it.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace quarva::platform {

struct FoundItem {
    enum class Kind { File, Folder, Link, Other };  // Other: devices, pipes, sockets

    std::string path;  // the folder as given, "/", then the name
    std::string name;  // the last part of the path
    Kind kind = Kind::Other;
    std::uint32_t mode = 0;  // type and permission bits as the system keeps them
    std::uint64_t size = 0;
    std::time_t mtime = 0;

    bool isFolder() const { return kind == Kind::Folder; }
    bool isLink() const { return kind == Kind::Link; }
    bool isFile() const { return kind == Kind::File; }
};

// Looks at one path without following a link; false (and `ec`) when it is not there.
bool lookAt(const std::string& path, FoundItem& item, std::error_code& ec);

// The items of one folder in byte order of their names, without "." and "..". An
// item that goes away between the listing and the look at it is left out. False
// (and `ec`) when the folder cannot be read.
bool listFolder(const std::string& folder, std::vector<FoundItem>& items, std::error_code& ec);

struct GatherOptions {
    bool hidden = false;     // include names starting with '.'
    bool subfolders = true;  // visit folders and go into them
};

// Visits everything below `folder` in name order, a folder before what it holds.
// Hidden names are passed over unless asked for; without subfolders, folders are
// passed over altogether. `visit` returns false for a folder to keep out of it.
// A folder that cannot be read goes to `unreadable` and the walk goes on.
void gatherFolder(const std::string& folder, const GatherOptions& options,
                  const std::function<bool(const FoundItem&)>& visit,
                  const std::function<void(const std::string& folder, const std::error_code& ec)>& unreadable);

}  // namespace quarva::platform
