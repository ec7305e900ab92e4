#pragma once
// Names: the quoted file lists of the entry points, wildcards, archive-name
// conversion and the one safe-path check that every extraction goes through.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarva::formatlib {

// "\"a\"|\"b c\"" → {"a", "b c"}; unquoted items are taken as they stand; empty items dropped.
std::vector<std::string> splitFileList(std::string_view list);

// "*" matches any run (also "\" and "/"), "?" one character; case-insensitive.
bool wildcardMatch(std::string_view pattern, std::string_view text);

// True when `name` (archive name, "/" or "\" separated) is selected by `patterns`.
// An empty list, "*" or "*.*" select everything. A pattern selects a name when it matches
// the whole name, its file part, or names a folder the entry lies in.
bool selected(const std::vector<std::string>& patterns, std::string_view name);

// "docs/a.txt" → "docs\\a.txt" (the host's form of an archive name).
std::string toHostEntryName(std::string_view name);
// "docs\\a.txt" → "docs/a.txt".
std::string toSlashes(std::string_view name);
// The text after the last "/" or "\".
std::string filePart(std::string_view name);
// Lower-cased extension after the last "." of the file part ("" when none).
std::string extensionOf(std::string_view name);
std::string toLower(std::string_view s);

// The safe relative form of an archive name ("a/b/c.txt"), or nullopt with a reason
// when the name is absolute, carries a drive letter, climbs with "..", is empty or
// holds control characters. "\" counts as a separator. "." components are dropped.
std::optional<std::string> safeRelativePath(std::string_view name, std::string* reason = nullptr);

// True when a symbolic link stored at `linkName` (a safe relative path) with
// `target` stays inside the extraction folder.
bool linkTargetInside(std::string_view linkName, std::string_view target);

}  // namespace quarva::formatlib
