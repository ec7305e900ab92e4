#pragma once
// Wildcard match as every part of the suite uses it: "*" matches any run of
// characters (also none and across separators), "?" exactly one. The match is
// iterative with one backtrack point, so hostile patterns cannot make it recurse or
// explode. Each form is named after its rule for letter case.

#include <string_view>

namespace quarva::platform {

// Every other character compares exactly: letter case counts, "/" and "\" differ
// (the archive manager's filter box).
bool wildcardMatchCaseSensitive(std::string_view pattern, std::string_view text);

// ASCII letters compare without regard to case, and "/" and "\" count as the same
// character (names inside archives).
bool wildcardMatchIgnoringCase(std::string_view pattern, std::string_view text);

}  // namespace quarva::platform
