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

ArchiveKind kindForOpening(const std::string& extension) {
    if (extension == "zip") return ArchiveKind::Zip;
    if (extension == "cab") return ArchiveKind::Cab;
    return ArchiveKind::OtherLibrary;
}

std::optional<ArchiveKind> kindForCreating(const std::string& extension) {
    if (extension == "zip") return ArchiveKind::Zip;
    static constexpr std::array<std::string_view, 7> library = {"cab", "bh", "jar", "lha", "tar", "gz", "lzh"};
    if (oneOf(extension, library)) return ArchiveKind::NewLibrary;
    return std::nullopt;
}

ArchiveKind kindForCommandLine(const std::string& extension) {
    return extension == "zip" ? ArchiveKind::Zip : ArchiveKind::Library;
}

ArchiveKind kindByContent(int libraryKind) {
    if (libraryKind == static_cast<int>(ArchiveKind::Zip)) return ArchiveKind::Zip;
    if (libraryKind == static_cast<int>(ArchiveKind::Cab)) return ArchiveKind::Cab;
    return ArchiveKind::OtherLibrary;
}

bool isSfxCapable(const std::string& extension) {
    static constexpr std::array<std::string_view, 7> sfx = {"ace", "arj", "bh", "jar", "lha", "rar", "zip"};
    return oneOf(extension, sfx);
}

bool isModifiable(const std::string& extension) { return extension != "xxe" && extension != "uue"; }

}  // namespace quarva::archive
