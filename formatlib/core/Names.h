#pragma once
// Names: the quoted file lists of the entry points, wildcards, archive-name
// conversion and the one safe-path check that every extraction goes through.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/SafePath.h"

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

// Every extraction goes through the suite's one safe-path check.
using platform::linkTargetInside;
using platform::safeRelativePath;

}  // namespace quarva::formatlib
