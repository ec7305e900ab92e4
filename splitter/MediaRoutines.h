#pragma once
// Small routines the engines share for removable and fixed media: the messages of the
// system error codes, the retry question's text, erasing a removable disk, and the
// path shortening the window uses.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace quarva::splitter {

// The message shown for a system error code after a failed create or open; nullopt
// for codes that show nothing.
std::optional<std::string> windowsErrorMessage(int code);

// "Operations on drive " + folder + the tail for the drive type.
std::string retryOnDriveText(const std::string& folder, platform::DriveType type);

// Free bytes on the drive of `path` for the caller; nullopt when the query fails.
std::optional<std::uint64_t> queryFreeSpace(const std::string& path);

// Deletes everything below `path` when `path` is the root of a removable drive; does
// nothing otherwise. false (with the path that could not be deleted) when a file
// deletion failed; folders that cannot be removed are left.
bool eraseRemovableDrive(const std::string& path, std::string* failedPath = nullptr);

// Shortens a path to at most `maxChars` characters with "..." in place of the middle,
// keeping the file name where it fits.
std::string compactPath(const std::string& path, std::size_t maxChars);

// "Processed: %d\nRemaining: %d"
std::string progressText(long processed, long remaining);

}  // namespace quarva::splitter
