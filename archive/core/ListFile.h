#pragma once
// The list files that the shell extension hands to the archive manager: one path
// per line, lines ended by CR LF. Each hand-over has a list of its own, named
// "~QuarvaZip" + a random part + ".tmp" in the suite's private temporary folder;
// the archive manager reads the path from its argument and removes such a list
// once it has read it.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quarva::archive {

inline constexpr char kListFilePrefix[] = "~QuarvaZip";
inline constexpr std::size_t kListLineLength = 259;

// The lines of a list file, each without its line end (a CR before the LF is
// dropped; the last line may or may not be ended). Lines are kept as they stand,
// empty ones too, so that the shape check below sees them. nullopt when the file
// cannot be opened or is not a regular file.
std::optional<std::vector<std::string>> readListFile(const std::filesystem::path& path);

// What a switch expects of its list.
enum class ListShape {
    Items,            // "add": one file or folder per line
    ArchiveAndItems,  // "addX", "noadddialog", "zipandmail": the archive, then what to add
    Pairs,            // "noextractdialog": archive, destination folder, archive, ...
};
// Empty when the lines have the shape, else the reason, in words for the user.
// Every line must be a full path ('/' first) of at most 259 characters, without a
// CR or NUL; no line may be empty; an archive list needs the archive and at least
// one more line.
std::string listShapeProblem(const std::vector<std::string>& lines, ListShape shape);

// True for a list the shell extension handed over: a "~QuarvaZip..." file right
// inside the suite's private temporary folder (lexically, after normalising).
bool isHandedOverList(const std::filesystem::path& path);
// Removes a handed-over list (never any other file named on the command line).
void removeHandedOverList(const std::filesystem::path& path);

struct SplitPaths {
    std::vector<std::string> folders;  // lines naming an existing folder
    std::vector<std::string> files;    // every other line
};
SplitPaths splitFoldersAndFiles(const std::vector<std::string>& lines, std::size_t first = 0);

}  // namespace quarva::archive
