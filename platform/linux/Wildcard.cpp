#include "platform/Wildcard.h"

namespace quarva::platform {

namespace {

char same(char c) { return c; }

char folded(char c) {
    if (c == '\\') return '/';
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

template <char (*fold)(char)>
bool match(std::string_view pattern, std::string_view text) {
    std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(text[t]))) {
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

}  // namespace

bool wildcardMatchCaseSensitive(std::string_view pattern, std::string_view text) { return match<same>(pattern, text); }

bool wildcardMatchIgnoringCase(std::string_view pattern, std::string_view text) { return match<folded>(pattern, text); }

}  // namespace quarva::platform
