#pragma once
// The filter box's text as a list of name patterns.

#include <string>
#include <string_view>
#include <vector>

namespace quarva::archive {

// The text cut at blanks (and tabs); empty pieces are dropped.
std::vector<std::string> splitFilterPatterns(std::string_view text);

// True when one pattern matches the name's file part (letter case counts; "*" any
// run, "?" one character). "*.*", the box's entry for every file, also matches
// names without an extension.
bool matchesFilter(const std::vector<std::string>& patterns, std::string_view name);

}  // namespace quarva::archive
