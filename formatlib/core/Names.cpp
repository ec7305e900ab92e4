#include "formatlib/core/Names.h"
#include "platform/Wildcard.h"

#include <cctype>

namespace quarva::formatlib {

std::vector<std::string> splitFileList(std::string_view list)
{
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

std::string toLower(std::string_view s)
{
    std::string r(s);
    for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

bool wildcardMatch(std::string_view p, std::string_view t)
{
    return platform::wildcardMatch(p, t, {platform::MatchCase::Insensitive, /*slashesEqual=*/true});
}

bool selected(const std::vector<std::string>& patterns, std::string_view name)
{
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

std::string toHostEntryName(std::string_view name)
{
    std::string r(name);
    for (auto& c : r)
        if (c == '/') c = '\\';
    return r;
}

std::string toSlashes(std::string_view name)
{
    std::string r(name);
    for (auto& c : r)
        if (c == '\\') c = '/';
    return r;
}

std::string filePart(std::string_view name)
{
    const auto p = name.find_last_of("/\\");
    return std::string(p == std::string_view::npos ? name : name.substr(p + 1));
}

std::string extensionOf(std::string_view name)
{
    const std::string f = filePart(name);
    const auto dot = f.rfind('.');
    return dot == std::string::npos ? std::string() : toLower(f.substr(dot + 1));
}

std::optional<std::string> safeRelativePath(std::string_view name, std::string* reason)
{
    auto fail = [&](const char* why) -> std::optional<std::string> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    if (name.empty()) return fail("empty name");
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20) return fail("control character in the name");
    std::string s = toSlashes(name);
    if (s[0] == '/') return fail("absolute path");
    if (s.size() >= 2 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':')
        return fail("drive letter in the path");
    std::string out;
    std::size_t i = 0;
    while (i <= s.size()) {
        std::size_t j = s.find('/', i);
        if (j == std::string::npos) j = s.size();
        std::string_view part(s.data() + i, j - i);
        if (part == "..") return fail("path climbs out of the folder (\"..\")");
        if (!part.empty() && part != ".") {
            if (part.find(':') != std::string_view::npos && part.size() >= 2 && part[1] == ':')
                return fail("drive letter in the path");
            if (!out.empty()) out.push_back('/');
            out.append(part);
        }
        i = j + 1;
    }
    if (out.empty()) return fail("empty name");
    return out;
}

bool linkTargetInside(std::string_view linkName, std::string_view target)
{
    std::string t = toSlashes(target);
    if (t.empty() || t[0] == '/') return false;
    if (t.size() >= 2 && std::isalpha(static_cast<unsigned char>(t[0])) && t[1] == ':') return false;
    // Depth of the folder holding the link, then walk the target's components.
    std::string ln = toSlashes(linkName);
    int depth = 0;
    for (char c : ln)
        if (c == '/') ++depth;
    std::size_t i = 0;
    while (i <= t.size()) {
        std::size_t j = t.find('/', i);
        if (j == std::string::npos) j = t.size();
        std::string_view part(t.data() + i, j - i);
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        i = j + 1;
    }
    return true;
}

}  // namespace quarva::formatlib
