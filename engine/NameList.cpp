#include "engine/NameList.h"

#include <cctype>

#include "platform/Wildcard.h"

namespace quarva::engine {

namespace {
std::string baseName(const std::string& name) {
    std::string n = name;
    while (!n.empty() && (n.back() == '/' || n.back() == '\\')) n.pop_back();
    auto pos = n.find_last_of("/\\");
    return pos == std::string::npos ? n : n.substr(pos + 1);
}
}  // namespace

bool wildcardMatch(const std::string& pattern, const std::string& text) {
    return platform::wildcardMatchIgnoringCase(pattern, text);
}

NameList::NameList(const std::string& text) {
    std::size_t pos = 0;
    bool lastWasFilter = false;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] == '>') {
            if (groups_.empty()) groups_.emplace_back();
            groups_.back().filters.push_back(line.substr(1));
            lastWasFilter = true;
        } else {
            if (groups_.empty() || lastWasFilter) groups_.emplace_back();
            groups_.back().lines.push_back(line);
            lastWasFilter = false;
        }
    }
}

bool NameList::matches(const std::string& name) const {
    if (groups_.empty()) return true;
    std::string trimmed = name;
    while (!trimmed.empty() && (trimmed.back() == '/' || trimmed.back() == '\\')) trimmed.pop_back();
    for (const auto& g : groups_) {
        bool lineHit = g.lines.empty();
        for (const auto& line : g.lines) {
            std::string l = line;
            while (l.size() > 1 && (l.back() == '/' || l.back() == '\\')) l.pop_back();
            if (wildcardMatch(l, trimmed) || wildcardMatch(l + "\\*", trimmed)) {
                lineHit = true;
                break;
            }
        }
        if (!lineHit) continue;
        if (g.filters.empty()) return true;
        std::string base = baseName(name);
        for (const auto& f : g.filters)
            if (wildcardMatch(f, base)) return true;
    }
    return false;
}

}  // namespace quarva::engine
