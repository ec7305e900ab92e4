#include "archive/core/ArchiveFlags.h"

#include <array>
#include <string_view>

namespace quarva::archive {

namespace {
template <std::size_t N>
bool oneOf(const std::string& extension, const std::array<std::string_view, N>& list) {
    for (auto e : list)
        if (extension == e) return true;
    return false;
}
}  // namespace

int kindForOpening(const std::string& extension) {
    if (extension == "zip") return kind::kZip;
    if (extension == "cab") return kind::kCab;
    return kind::kOtherLibrary;
}

std::optional<int> kindForCreating(const std::string& extension) {
    if (extension == "zip") return kind::kZip;
    static constexpr std::array<std::string_view, 7> library = {"cab", "bh", "jar", "lha", "tar", "gz", "lzh"};
    if (oneOf(extension, library)) return kind::kNewLibrary;
    return std::nullopt;
}

int kindForCommandLine(const std::string& extension) { return extension == "zip" ? kind::kZip : kind::kLibrary; }

bool isSfxCapable(const std::string& extension) {
    static constexpr std::array<std::string_view, 7> sfx = {"ace", "arj", "bh", "jar", "lha", "rar", "zip"};
    return oneOf(extension, sfx);
}

bool isModifiable(const std::string& extension) { return extension != "xxe" && extension != "uue"; }

}  // namespace quarva::archive
