#pragma once
// The four most recently opened archives, newest first, kept under
// "...\\Quarva.Zip Suite\\Recent File List" as "File1" to "File4", and the
// application's in-memory list of recent paths (newest last, no duplicates).

#include <string>
#include <vector>

#include "archive/core/SettingsStore.h"

namespace quarva::archive {

class CRecentFileList {
public:
    static constexpr std::size_t kSize = 4;

    void load(const SettingsStore& store);
    // The path becomes the first entry; entries that stood above its old place move
    // down by one; the oldest drops off beyond four. Written to the store at once.
    void add(const std::string& path, SettingsStore& store);
    // Removes the path (an archive that has been moved or deleted) and writes the list.
    void remove(const std::string& path, SettingsStore& store);

    const std::vector<std::string>& entries() const { return entries_; }

private:
    void save(SettingsStore& store) const;
    std::vector<std::string> entries_;
};

// Moves `path` to the end of the in-memory list of recent paths.
void touchRecentPath(std::vector<std::string>& recentPaths, const std::string& path);

}  // namespace quarva::archive
