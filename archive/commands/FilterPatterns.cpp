#include "archive/commands/FilterPatterns.h"

#include "archive/core/PathText.h"
#include "platform/Wildcard.h"

namespace quarva::archive {

std::vector<std::string> splitFilterPatterns(std::string_view text) {
    std::vector<std::string> patterns;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
        std::size_t start = i;
        while (i < text.size() && !(text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
        if (i > start) patterns.emplace_back(text.substr(start, i - start));
    }
    return patterns;
}

bool matchesFilter(const std::vector<std::string>& patterns, std::string_view name) {
    std::string file = fileNamePart(name);
    for (const auto& p : patterns) {
        if (p == "*.*" || p == "*") return true;
        if (platform::wildcardMatchCaseSensitive(p, file) || platform::wildcardMatchCaseSensitive(p, name)) return true;
    }
    return false;
}

}  // namespace quarva::archive
