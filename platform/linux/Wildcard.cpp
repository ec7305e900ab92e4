#include "platform/Wildcard.h"

namespace quarva::platform {

namespace {

char fold(char c, WildcardOptions options) {
    if (options.slashesEqual && c == '\\') return '/';
    if (options.letters == MatchCase::Insensitive && c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view text, WildcardOptions options) {
    std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p], options) == fold(text[t], options))) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            // Let the last "*" take one more character and try again from there.
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace quarva::platform
