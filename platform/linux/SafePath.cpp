#include "platform/SafePath.h"

namespace quarva::platform {

namespace {

std::vector<std::string_view> split(std::string_view name) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/' || name[i] == '\\') {
            parts.push_back(name.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool hasDrive(std::string_view part) { return part.size() >= 2 && isLetter(part[0]) && part[1] == ':'; }

}  // namespace

std::optional<std::vector<std::string>> safePathComponents(std::string_view name, std::string* reason) {
    auto refuse = [&](const char* why) -> std::optional<std::vector<std::string>> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    if (name.empty()) return refuse("empty name");
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f) return refuse("control character in the name");
    if (name[0] == '/' || name[0] == '\\') return refuse("absolute path");
    std::vector<std::string> out;
    for (std::string_view part : split(name)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") return refuse("path climbs out of the folder (\"..\")");
        if (hasDrive(part) || (part.size() == 2 && part[0] == ':')) return refuse("drive letter in the path");
        out.emplace_back(part);
    }
    if (out.empty()) return refuse("empty name");
    return out;
}

std::optional<std::string> safeRelativePath(std::string_view name, std::string* reason) {
    auto parts = safePathComponents(name, reason);
    if (!parts) return std::nullopt;
    std::string joined;
    for (const auto& part : *parts) {
        if (!joined.empty()) joined += '/';
        joined += part;
    }
    return joined;
}

bool linkTargetInside(std::string_view target) {
    if (target.empty() || target[0] == '/' || target[0] == '\\' || hasDrive(target)) return false;
    for (std::string_view part : split(target))
        if (part == ".." || hasDrive(part)) return false;
    return true;
}

bool linkTargetInside(std::string_view linkPath, std::string_view target) {
    if (target.empty() || target[0] == '/' || target[0] == '\\' || hasDrive(target)) return false;
    for (unsigned char c : target)
        if (c < 0x20 || c == 0x7f) return false;
    auto link = safePathComponents(linkPath);
    if (!link) return false;
    std::size_t depth = link->size() - 1;  // folders above the link, inside the destination
    bool descended = false;
    for (std::string_view part : split(target)) {
        if (part.empty() || part == ".") continue;
        if (hasDrive(part)) return false;
        if (part == "..") {
            if (descended || depth == 0) return false;
            --depth;
        } else {
            descended = true;
            ++depth;
        }
    }
    return true;
}

}  // namespace quarva::platform
