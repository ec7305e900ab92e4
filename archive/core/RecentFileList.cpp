#include "archive/core/RecentFileList.h"

#include <algorithm>

namespace quarva::archive {

namespace {
std::string valueName(std::size_t index) { return "File" + std::to_string(index + 1); }
}  // namespace

void CRecentFileList::load(const SettingsStore& store) {
    entries_.clear();
    for (std::size_t i = 0; i < kSize; ++i) {
        // Read without the settings buffer limit: archive paths are often longer than 99 characters.
        auto path = store.registry().readString(platform::Hive::CurrentUser, kRecentFileListKey, valueName(i));
        if (path && !path->empty() && std::find(entries_.begin(), entries_.end(), *path) == entries_.end())
            entries_.push_back(*path);
    }
}

void CRecentFileList::add(const std::string& path, SettingsStore& store) {
    std::erase(entries_, path);
    entries_.insert(entries_.begin(), path);
    if (entries_.size() > kSize) entries_.resize(kSize);
    save(store);
}

void CRecentFileList::remove(const std::string& path, SettingsStore& store) {
    std::erase(entries_, path);
    save(store);
}

void CRecentFileList::save(SettingsStore& store) const {
    for (std::size_t i = 0; i < kSize; ++i) {
        if (i < entries_.size()) store.writeString(kRecentFileListKey, valueName(i), entries_[i]);
        else store.deleteValue(kRecentFileListKey, valueName(i));
    }
}

void touchRecentPath(std::vector<std::string>& recentPaths, const std::string& path) {
    std::erase(recentPaths, path);
    recentPaths.push_back(path);
}

}  // namespace quarva::archive
