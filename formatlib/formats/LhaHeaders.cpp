#include "formatlib/formats/LhaHeaders.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace quarva::formatlib {
namespace {

unsigned le16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// Exactly `size` bytes at `offset`, or false.
bool readExactly(const ReadAt& readAt, std::uint64_t offset, std::size_t size, std::vector<std::uint8_t>& out) {
    out.assign(size, 0);
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = readAt(offset + got, out.data() + got, size - got);
        if (n == 0) return false;
        got += n;
    }
    return true;
}

struct Names {
    std::string name, folder;
};

// One extended header (type byte, data, size of the next one) of `bytes`.
void takeExtension(const std::vector<std::uint8_t>& ext, Names& names) {
    if (ext.size() < 3) return;
    std::string data(reinterpret_cast<const char*>(ext.data() + 1), ext.size() - 3);
    if (ext[0] == 0x01) names.name = data;
    if (ext[0] == 0x02) {
        for (auto& c : data)
            if (static_cast<unsigned char>(c) == 0xFF) c = '/';
        names.folder = data;
    }
}

}  // namespace

std::map<std::string, StoredInfo> readLhaHeaders(const ReadAt& readAt) {
    std::map<std::string, StoredInfo> out;
    std::uint64_t pos = 0;
    std::vector<std::uint8_t> b, ext;
    for (int guard = 0; guard < 1000000; ++guard) {
        // The fixed part every level shares: size, method, sizes, time, level.
        if (!readExactly(readAt, pos, 22, b)) break;
        if (b[0] == 0 || b[2] != '-' || b[6] != '-') break;
        const unsigned level = b[20];
        const std::string method(reinterpret_cast<const char*>(&b[3]), 3);
        std::uint32_t packed = le32(b, 7);
        Names names;
        std::uint16_t crc = 0;
        std::uint64_t headerSize = 0;
        if (level == 0 || level == 1) {
            headerSize = b[0] + 2u;
            if (!readExactly(readAt, pos, static_cast<std::size_t>(headerSize), b)) break;
            const unsigned n = b[21];
            // Name and CRC must lie inside the header; level 1 ends with the size
            // of the first extended header.
            if (22u + n + 2 + (level == 1 ? 2 : 0) > headerSize) break;
            names.name.assign(reinterpret_cast<const char*>(&b[22]), n);
            crc = static_cast<std::uint16_t>(le16(b, 22 + n));
            if (level == 1) {
                std::uint32_t extBytes = 0;
                unsigned size = le16(b, static_cast<std::size_t>(headerSize - 2));
                bool good = true;
                while (size != 0) {
                    if (size < 3 || !readExactly(readAt, pos + headerSize + extBytes, size, ext)) {
                        good = false;
                        break;
                    }
                    takeExtension(ext, names);
                    extBytes += size;
                    size = le16(ext, ext.size() - 2);
                }
                if (!good || extBytes > packed) break;
                packed -= extBytes;  // the level-1 size counts the extended headers too
                headerSize += extBytes;
            }
            for (auto& c : names.name)
                if (c == '\\' || static_cast<unsigned char>(c) == 0xFF) c = '/';
        } else if (level == 2) {
            if (!readExactly(readAt, pos, 26, b)) break;
            headerSize = le16(b, 0);
            if (headerSize < 26 || !readExactly(readAt, pos, static_cast<std::size_t>(headerSize), b)) break;
            crc = static_cast<std::uint16_t>(le16(b, 21));
            std::size_t at = 26;
            unsigned size = le16(b, 24);
            bool good = true;
            while (size != 0) {
                if (size < 3 || at + size > headerSize) {
                    good = false;
                    break;
                }
                ext.assign(b.begin() + static_cast<std::ptrdiff_t>(at),
                           b.begin() + static_cast<std::ptrdiff_t>(at + size));
                takeExtension(ext, names);
                at += size;
                size = le16(b, at - 2);
            }
            if (!good) break;
        } else {
            break;
        }
        std::string full =
            names.folder.empty() ? names.name : names.folder + (names.folder.back() == '/' ? "" : "/") + names.name;
        const auto bar = full.find('|');
        if (bar != std::string::npos) full = full.substr(0, bar);  // a link: "name|target"
        out[full] = {packed, crc, method};
        pos += headerSize + packed;
    }
    return out;
}

std::map<std::string, StoredInfo> readLhaHeaders(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    auto out = readLhaHeaders([fd](std::uint64_t offset, std::uint8_t* buffer, std::size_t size) -> std::size_t {
        const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    });
    ::close(fd);
    return out;
}

std::map<std::string, StoredInfo> readLhaHeaders(const std::uint8_t* data, std::size_t size) {
    return readLhaHeaders([data, size](std::uint64_t offset, std::uint8_t* buffer, std::size_t want) -> std::size_t {
        if (offset >= size) return 0;
        const std::size_t n = std::min<std::size_t>(want, static_cast<std::size_t>(size - offset));
        std::copy(data + offset, data + offset + n, buffer);
        return n;
    });
}

}  // namespace quarva::formatlib
