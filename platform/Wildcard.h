#pragma once
// Wildcard match as every part of the suite uses it: "*" matches any run of
// characters (also none), "?" exactly one. The match is iterative with one
// backtrack point, so hostile patterns cannot make it recurse or explode.

#include <string_view>

namespace quarva::platform {

enum class MatchCase { Sensitive, Insensitive };

struct WildcardOptions {
    MatchCase letters = MatchCase::Sensitive;  // letters compared with or without case (ASCII)
    bool slashesEqual = false;                 // "/" and "\" count as the same character
};

bool wildcardMatch(std::string_view pattern, std::string_view text, WildcardOptions options = {});

}  // namespace quarva::platform
