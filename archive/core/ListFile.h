#pragma once
// The list file "~QuarvaZip.tmp" that the shell extension hands to the archive
// manager: one path per line.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quarva::archive {

inline constexpr char kListFileName[] = "~QuarvaZip.tmp";
inline constexpr std::size_t kListLineLength = 259;

// The lines of the list file, each without its line end. A line holds at most 259
// characters: a longer one is read as several. Empty lines are dropped. nullopt
// when the file cannot be opened.
std::optional<std::vector<std::string>> readListFile(const std::filesystem::path& path);

struct SplitPaths {
    std::vector<std::string> folders;  // lines naming an existing folder
    std::vector<std::string> files;    // every other line
};
SplitPaths splitFoldersAndFiles(const std::vector<std::string>& lines, std::size_t first = 0);

}  // namespace quarva::archive
