#include "platform/FileGatherer.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace quarva::platform {

namespace {

std::string joined(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool hiddenName(const std::string& name) { return !name.empty() && name[0] == '.'; }

}  // namespace

bool lookAt(const std::string& path, FoundItem& item, std::error_code& ec) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    item.path = path;
    const auto slash = path.find_last_of('/');
    item.name = slash == std::string::npos ? path : path.substr(slash + 1);
    item.kind = S_ISREG(st.st_mode)   ? FoundItem::Kind::File
                : S_ISDIR(st.st_mode) ? FoundItem::Kind::Folder
                : S_ISLNK(st.st_mode) ? FoundItem::Kind::Link
                                      : FoundItem::Kind::Other;
    item.mode = static_cast<std::uint32_t>(st.st_mode);
    item.size = static_cast<std::uint64_t>(st.st_size);
    item.mtime = st.st_mtime;
    ec.clear();
    return true;
}

bool listFolder(const std::string& folder, std::vector<FoundItem>& items, std::error_code& ec) {
    items.clear();
    DIR* d = ::opendir(folder.c_str());
    if (!d) {
        ec.assign(errno, std::generic_category());
        return false;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* de = ::readdir(d)) {
        const std::string n = de->d_name;
        if (n != "." && n != "..") names.push_back(n);
        errno = 0;
    }
    const int readError = errno;
    ::closedir(d);
    if (readError != 0) {
        ec.assign(readError, std::generic_category());
        return false;
    }
    std::sort(names.begin(), names.end());
    for (const auto& n : names) {
        FoundItem item;
        std::error_code gone;
        if (lookAt(joined(folder, n), item, gone)) items.push_back(std::move(item));
    }
    ec.clear();
    return true;
}

void gatherFolder(const std::string& folder, const GatherOptions& options,
                  const std::function<bool(const FoundItem&)>& visit,
                  const std::function<void(const std::string& folder, const std::error_code& ec)>& unreadable) {
    std::vector<FoundItem> items;
    std::error_code ec;
    if (!listFolder(folder, items, ec)) {
        if (unreadable) unreadable(folder, ec);
        return;
    }
    for (const auto& item : items) {
        if (!options.hidden && hiddenName(item.name)) continue;
        if (item.isFolder()) {
            if (options.subfolders && visit(item)) gatherFolder(item.path, options, visit, unreadable);
        } else {
            visit(item);
        }
    }
}

}  // namespace quarva::platform
