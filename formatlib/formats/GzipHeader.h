#pragma once
// What a gzip file's header says, read without libarchive: its stored name and
// time, and whether a tar archive starts after it.

#include <ctime>
#include <filesystem>
#include <string>

namespace quarva::formatlib {

// The name stored in a gzip header (FNAME), empty when there is none.
std::string gzipStoredName(const std::filesystem::path& path);
// The time stored in a gzip header (MTIME), 0 when there is none.
std::time_t gzipStoredTime(const std::filesystem::path& path);
// True when the data after a gzip header starts a tar archive.
bool gzipHoldsTar(const std::filesystem::path& path);

}  // namespace quarva::formatlib
