#include "shellext/ShellPaths.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace quarva::shellext {

namespace {

std::size_t lastComponentStart(std::string_view path) {
    auto slash = path.rfind(kSeparator);
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// The "..." the compaction puts in.
constexpr std::string_view kEllipsis = "...";

}  // namespace

std::string extensionOf(std::string_view path) {
    std::size_t start = lastComponentStart(path);
    auto dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start) return {};
    std::string ext(path.substr(dot));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string fileNamePart(std::string_view path) { return std::string(path.substr(lastComponentStart(path))); }

std::string withoutExtension(std::string_view path) {
    std::size_t start = lastComponentStart(path);
    auto dot = path.rfind('.');
    if (dot == std::string_view::npos || dot <= start) return std::string(path);
    return std::string(path.substr(0, dot));
}

std::string cutExtension(std::string_view path) {
    return std::string(path.substr(0, path.size() - extensionOf(path).size()));
}

bool isArchiveExtension(std::string_view ext) {
    static constexpr std::array<std::string_view, 19> kArchives = {
        ".zip", ".zoo", ".rar", ".arj", ".arc", ".ace", ".cab", ".ha",  ".jar", ".lha",
        ".lzh", ".pak", ".tar", ".gz",  ".z",   ".bh",  ".uue", ".xxe", ".enc"};
    return std::find(kArchives.begin(), kArchives.end(), ext) != kArchives.end();
}

bool offersSelfExtractor(std::string_view ext) {
    static constexpr std::array<std::string_view, 7> kSfx = {".bh", ".zip", ".rar", ".ace", ".jar", ".lha", ".arj"};
    return std::find(kSfx.begin(), kSfx.end(), ext) != kSfx.end();
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

std::string compactPath(std::string_view path, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    std::size_t room = bufferSize - 1;
    if (path.size() <= room) return std::string(path);
    if (room <= kEllipsis.size()) return std::string(kEllipsis.substr(0, room));
    std::size_t start = lastComponentStart(path);
    // The last component with its leading separator, when the path has one.
    std::string_view tail = start > 0 ? path.substr(start - 1) : path;
    if (start == 0 || tail.size() + kEllipsis.size() > room) {
        std::string_view name = path.substr(start);
        return std::string(name.substr(0, room - kEllipsis.size())) + std::string(kEllipsis);
    }
    std::size_t head = room - kEllipsis.size() - tail.size();
    return std::string(path.substr(0, head)) + std::string(kEllipsis) + std::string(tail);
}

bool isDriveRoot(const std::string& path) {
    if (path.empty()) return false;
    return platform::isDriveRoot(fs::path(path));
}

std::string driveRootWithoutSeparator(const std::string& root) {
    std::string s = root;
    while (s.size() > 1 && s.back() == kSeparator) s.pop_back();
    return s;
}

std::string driveName(const std::string& root) {
    std::string s = driveRootWithoutSeparator(root);
    if (s == "/") return "root";
    return fileNamePart(s);
}

TipDrive tipDriveOf(const std::string& path) {
    if (path.size() > 2 && path[0] == kSeparator && path[1] == kSeparator && path[2] != kSeparator)
        return TipDrive::Network;
    switch (platform::driveType(fs::path(path))) {
    case platform::DriveType::Removable: return TipDrive::Floppy;
    case platform::DriveType::Remote: return TipDrive::Network;
    default: return TipDrive::Local;
    }
}

}  // namespace quarva::shellext
