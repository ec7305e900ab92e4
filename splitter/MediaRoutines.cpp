#include "splitter/MediaRoutines.h"

#include <filesystem>
#include <vector>

#include "splitter/SplitTexts.h"

namespace fs = std::filesystem;

namespace quarva::splitter {

std::optional<std::string> windowsErrorMessage(int code) {
    switch (code) {
    case 15: return "Invalid Drive...\n Retry with another disk";
    case 21: return "Device not ready \n Press OK after inserting the disk";
    case 23: return "Data Error...";
    case 25: return "File Seek error";
    case 26: return "Cannot understand disk format";
    case 29: return "Cannot write to the disk...\n Retry with another disk";
    case 30: return "Error reading file";
    case 31: return "The device attached to the system is not functioning";
    case 32: return "The file is being used by other process\n Press OK after completing that operation";
    case 33: return "The process cannot access the file because \n another process has locked a portion of the file.";
    case 57: return "Network adapter error occured";
    case 111: return "The file name is too long";
    case 112: return "Disk Full";
    case 161: return "Invalid path";
    case 1001: return "Very deep recursion..\n Overflow of stack occured";
    case 1006: return "The file is altered outside this application \n The file is now considered invalid";
    case 1117: return "I/O device error occured";
    default: return std::nullopt;
    }
}

std::string retryOnDriveText(const std::string& folder, platform::DriveType type) {
    return std::string(texts::kOperationsOnDrive) + folder +
           (type == platform::DriveType::Removable ? texts::kRemovableTail : texts::kFixedTail);
}

std::optional<std::uint64_t> queryFreeSpace(const std::string& path) { return platform::freeSpace(path); }

namespace {

// Removes the contents of `folder` (not the folder itself). false when a file could not be deleted.
bool eraseContents(const fs::path& folder, std::string* failedPath) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    for (const auto& entry : entries) {
        std::error_code sec;
        if (entry.is_directory(sec) && !entry.is_symlink(sec)) {
            if (!eraseContents(entry.path(), failedPath)) return false;
            fs::remove(entry.path(), sec);  // a folder that cannot be removed is left
        } else if (!fs::remove(entry.path(), sec) || sec) {
            if (failedPath) *failedPath = entry.path().string();
            return false;
        }
    }
    return true;
}

}  // namespace

bool eraseRemovableDrive(const std::string& path, std::string* failedPath) {
    if (platform::driveType(path) != platform::DriveType::Removable || !platform::isDriveRoot(path)) return true;
    return eraseContents(fs::path(path), failedPath);
}

std::string compactPath(const std::string& path, std::size_t maxChars) {
    if (path.size() <= maxChars) return path;
    if (maxChars <= 3) return std::string(maxChars, '.');
    auto slash = path.find_last_of('/');
    std::string tail = slash == std::string::npos ? path : path.substr(slash);
    if (tail.size() + 3 <= maxChars) return path.substr(0, maxChars - 3 - tail.size()) + "..." + tail;
    // Not even the file name fits: keep its beginning.
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.substr(0, maxChars - 3) + "...";
}

std::string progressText(long processed, long remaining) {
    return "Processed: " + std::to_string(processed) + "\nRemaining: " + std::to_string(remaining);
}

}  // namespace quarva::splitter
