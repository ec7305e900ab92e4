#pragma once
// The small string helpers the archive manager uses everywhere: extension, file-name
// part, folder part, replace extension, and the wildcard match of the filter box.
// Paths inside an archive use "\" between names; host paths use "/". The helpers
// that split paths accept both separators unless they say otherwise.

#include <string>
#include <string_view>

namespace quarva::archive {

// Lower-cased text after the last "." of the name part; "" when there is none.
std::string extensionOf(std::string_view path);
// The text after the last "\" or "/".
std::string fileNamePart(std::string_view path);
// The text before the last "\" or "/"; "" when there is no separator.
std::string folderPart(std::string_view path);
// The path with the text after the last "." of its name replaced by `extension`
// (appended after a "." when the name has none).
std::string replaceExtension(std::string_view path, std::string_view extension);
std::string toLower(std::string_view text);
// Blanks, tabs and line ends cut away at both ends.
std::string trim(std::string_view text);
// Text for people to read, such as the activity log: every "\" of the archive's
// names shown as "/".
std::string withSlashes(std::string_view text);

}  // namespace quarva::archive
