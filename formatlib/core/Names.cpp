#include "formatlib/core/Names.h"
#include "platform/Wildcard.h"

#include <cctype>

namespace quarva::formatlib {

std::vector<std::string> splitFileList(std::string_view list) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    bool any = false;
    for (char c : list) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == '|' && !quoted) {
            if (!cur.empty()) out.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur.push_back(c);
        }
    }
    (void)any;
    if (!cur.empty()) out.push_back(cur);
    return out;
}

std::string toLower(std::string_view s) {
    std::string r(s);
    for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

bool wildcardMatch(std::string_view p, std::string_view t) { return platform::wildcardMatchIgnoringCase(p, t); }

bool selected(const std::vector<std::string>& patterns, std::string_view name) {
    if (patterns.empty()) return true;
    const std::string slashed = toSlashes(name);
    const std::string file = filePart(slashed);
    for (const auto& raw : patterns) {
        std::string p = toSlashes(raw);
        if (p == "*" || p == "*.*") return true;
        if (wildcardMatch(p, slashed) || wildcardMatch(p, file)) return true;
        // "*\\f": f at any depth.
        if (p.size() > 2 && p[0] == '*' && p[1] == '/' && wildcardMatch(p.substr(2), file)) return true;
        // A folder selects everything below it.
        std::string folder = p;
        const bool namesFolder = !folder.empty() && folder.back() == '/';
        while (!folder.empty() && folder.back() == '/') folder.pop_back();
        // "docs\" names the folder itself as well as everything below it.
        if (namesFolder && !folder.empty() && wildcardMatch(folder, slashed)) return true;
        if (!folder.empty() && slashed.size() > folder.size() && slashed[folder.size()] == '/' &&
            wildcardMatch(folder, slashed.substr(0, folder.size())))
            return true;
    }
    return false;
}

std::string toHostEntryName(std::string_view name) {
    std::string r(name);
    for (auto& c : r)
        if (c == '/') c = '\\';
    return r;
}

std::string toSlashes(std::string_view name) {
    std::string r(name);
    for (auto& c : r)
        if (c == '\\') c = '/';
    return r;
}

std::string filePart(std::string_view name) {
    const auto p = name.find_last_of("/\\");
    return std::string(p == std::string_view::npos ? name : name.substr(p + 1));
}

std::string extensionOf(std::string_view name) {
    const std::string f = filePart(name);
    const auto dot = f.rfind('.');
    return dot == std::string::npos ? std::string() : toLower(f.substr(dot + 1));
}

}  // namespace quarva::formatlib
