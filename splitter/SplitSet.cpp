#include "splitter/SplitSet.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace quarva::splitter {

namespace {

void putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t getLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string fileNamePart(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderPart(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string infoFileName(const std::string& name) { return name + ".sio"; }

std::string chunkFileName(const std::string& name, std::uint32_t index) {
    return name + "." + std::to_string(index) + ".spl";
}

std::uint32_t chunkCountFor(std::uint32_t size, std::uint32_t chunkSize) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(size) + chunkSize - 1) / chunkSize);
}

bool nameFitsInfo(std::string_view name) { return name.size() < kNameFieldSize; }

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos) return false;
    if (name.find("..") != std::string_view::npos) return false;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool countFitsSize(std::uint32_t count, std::uint32_t size) {
    if (count == 0) return size == 0;
    if (size == 0 || count > size) return false;
    // The smallest chunk size that holds `size` in `count` chunks; a larger one would
    // leave the last chunk empty sooner, so this one decides.
    std::uint64_t chunk = (static_cast<std::uint64_t>(size) + count - 1) / count;
    return (static_cast<std::uint64_t>(count) - 1) * chunk < size;
}

std::optional<std::array<std::uint8_t, kInfoFileSize>> encodeInfo(const SplitInfo& info) {
    if (!nameFitsInfo(info.name)) return std::nullopt;
    std::array<std::uint8_t, kInfoFileSize> bytes{};
    putLe32(bytes.data(), info.count);
    std::memcpy(bytes.data() + 4, info.name.data(), info.name.size());
    putLe32(bytes.data() + 4 + kNameFieldSize, info.size);
    return bytes;
}

InfoDecode decodeInfo(const std::vector<std::uint8_t>& bytes) {
    InfoDecode out;
    if (bytes.size() != kInfoFileSize) {
        out.problem =
            "it holds " + std::to_string(bytes.size()) + " bytes instead of " + std::to_string(kInfoFileSize) + ".";
        return out;
    }
    const std::uint8_t* field = bytes.data() + 4;
    const auto* end = std::find(field, field + kNameFieldSize, 0);
    if (end == field + kNameFieldSize) {
        out.problem = "the file name is not terminated.";
        return out;
    }
    SplitInfo info;
    info.count = getLe32(bytes.data());
    info.name.assign(reinterpret_cast<const char*>(field), static_cast<std::size_t>(end - field));
    info.size = getLe32(bytes.data() + 4 + kNameFieldSize);
    if (!isPlainFileName(info.name)) {
        out.problem = "the stored file name \"" + info.name + "\" is not a plain file name.";
        return out;
    }
    if (!countFitsSize(info.count, info.size)) {
        out.problem = "the chunk count " + std::to_string(info.count) + " does not fit the file size " +
                      std::to_string(info.size) + ".";
        return out;
    }
    out.info = std::move(info);
    return out;
}

std::string upperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return upperCase(std::string(text.substr(text.size() - suffix.size()))) == upperCase(std::string(suffix));
}

std::optional<std::string> infoPathFromChunkPath(const std::string& chunkPath) {
    // Only the file name is searched: a dot in a folder name must not send the
    // derivation into another folder.
    const std::size_t nameStart =
        chunkPath.find_last_of('/') == std::string::npos ? 0 : chunkPath.find_last_of('/') + 1;
    std::size_t last = chunkPath.find_last_of('.');
    if (last == std::string::npos || last < nameStart || last == 0) return std::nullopt;
    std::size_t second = chunkPath.find_last_of('.', last - 1);
    if (second == std::string::npos || second < nameStart) return std::nullopt;
    std::string ext = chunkPath.substr(last);
    bool hasLower =
        std::any_of(ext.begin(), ext.end(), [](char c) { return std::islower(static_cast<unsigned char>(c)); });
    return chunkPath.substr(0, second) + (hasLower ? ".sio" : ".SIO");
}

std::vector<std::string> chunkPathsFromInfoPath(const std::string& infoPath, std::uint32_t count) {
    std::size_t dot = infoPath.find_last_of('.');
    std::string base = dot == std::string::npos ? infoPath + "." : infoPath.substr(0, dot + 1);
    std::vector<std::string> paths;
    paths.reserve(count);
    for (std::uint32_t j = 0; j < count; ++j) paths.push_back(base + std::to_string(j) + ".spl");
    return paths;
}

}  // namespace quarva::splitter
