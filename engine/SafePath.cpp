#include "engine/SafePath.h"

#include <sys/stat.h>

#include <cerrno>
#include <cctype>

namespace quarva::engine {

namespace {
std::vector<std::string> split(const std::string& name) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : name) {
        if (c == '/' || c == '\\') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    parts.push_back(cur);
    return parts;
}
}  // namespace

bool safeComponents(const std::string& name, bool usePaths, std::vector<std::string>& out) {
    out.clear();
    if (name.empty()) return false;
    if (name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f) return false;
    for (auto& part : split(name)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") return false;
        // A drive letter inside a path ("a\C:\x") is as suspicious as at the start.
        if (part.find(':') != std::string::npos && part.size() == 2) return false;
        out.push_back(part);
    }
    if (out.empty()) return false;
    if (!usePaths) {
        std::string last = out.back();
        out.assign(1, last);
    }
    return true;
}

PlaceResult preparePlace(const std::filesystem::path& root, const std::vector<std::string>& components,
                         std::filesystem::path& out) {
    if (components.empty()) return PlaceResult::Unsafe;
    std::filesystem::path cur = root;
    for (std::size_t i = 0; i + 1 < components.size(); ++i) {
        cur /= components[i];
        struct stat st {};
        if (::lstat(cur.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) return PlaceResult::ThroughLink;
            if (!S_ISDIR(st.st_mode)) return PlaceResult::CannotCreate;
        } else {
            if (::mkdir(cur.c_str(), 0777) != 0 && errno != EEXIST) return PlaceResult::CannotCreate;
            if (::lstat(cur.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return PlaceResult::ThroughLink;
        }
    }
    out = cur / components.back();
    return PlaceResult::Ok;
}

bool linkTargetInside(const std::vector<std::string>& components, const std::string& target) {
    if (target.empty() || target[0] == '/' || target[0] == '\\') return false;
    if (target.size() >= 2 && std::isalpha(static_cast<unsigned char>(target[0])) && target[1] == ':') return false;
    (void)components;
    // Only links that point at or below their own folder are made: a chain of
    // such links can never lead out of the root, whatever order they come in.
    for (auto& part : split(target))
        if (part == "..") return false;
    return true;
}

}  // namespace quarva::engine
