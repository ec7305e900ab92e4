#include "formatlib/formats/GzipHeader.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace quarva::formatlib {

std::string gzipStoredName(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[10];
    if (!in.read(reinterpret_cast<char*>(h), 10) || h[0] != 0x1f || h[1] != 0x8b || h[2] != 8) return {};
    const unsigned flags = h[3];
    if (flags & 4) {  // FEXTRA
        unsigned char x[2];
        if (!in.read(reinterpret_cast<char*>(x), 2)) return {};
        in.seekg(x[0] | (x[1] << 8), std::ios::cur);
    }
    if (!(flags & 8)) return {};  // no FNAME
    std::string name;
    char c;
    while (in.get(c) && c != 0 && name.size() < 1024) name.push_back(c);
    // Only the file part: a stored name never chooses a folder.
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    return name;
}

std::time_t gzipStoredTime(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[10];
    if (!in.read(reinterpret_cast<char*>(h), 10) || h[0] != 0x1f || h[1] != 0x8b) return 0;
    return static_cast<std::time_t>(h[4] | (h[5] << 8) | (h[6] << 16) | (static_cast<std::uint32_t>(h[7]) << 24));
}

bool gzipHoldsTar(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> src(16 * 1024);
    in.read(src.data(), static_cast<std::streamsize>(src.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got < 18) return false;
    unsigned char out[1024];
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(src.data());
    z.avail_in = static_cast<uInt>(got);
    z.next_out = out;
    z.avail_out = sizeof out;
    int r = Z_OK;
    while (z.avail_out > 0 && z.avail_in > 0 && r == Z_OK) r = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = sizeof out - z.avail_out;
    inflateEnd(&z);
    return produced >= 263 && std::memcmp(out + 257, "ustar", 5) == 0;
}

}  // namespace quarva::formatlib
