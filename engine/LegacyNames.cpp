#include "engine/LegacyNames.h"

#include <iconv.h>

#include <cerrno>

namespace quarva::engine {

namespace {

bool isLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// Walks the bytes as CP932: false when a byte cannot stand where it is.
bool scanCp932(const std::string& raw, bool& backslashTrail) {
    backslashTrail = false;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        auto b = static_cast<unsigned char>(raw[i]);
        if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) continue;  // ASCII, half-width katakana
        if (!isLead(b) || i + 1 >= raw.size()) return false;
        auto t = static_cast<unsigned char>(raw[++i]);
        if (!isTrail(t)) return false;
        if (t == '\\') backslashTrail = true;
    }
    return true;
}

}  // namespace

std::string cp932ToUtf8(const std::string& raw) {
    bool backslashTrail = false;
    if (!scanCp932(raw, backslashTrail)) return {};
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd == iconv_t(-1)) return {};
    std::string out(raw.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(raw.data());
    std::size_t inLeft = raw.size(), outLeft = out.size();
    char* o = out.data();
    std::size_t r = ::iconv(cd, &in, &inLeft, &o, &outLeft);
    ::iconv_close(cd);
    // Lead and trail bytes in range that name no character fail here.
    if (r == std::size_t(-1) || inLeft != 0) return {};
    out.resize(out.size() - outLeft);
    return out;
}

bool showsCp932(const std::string& raw) {
    bool backslashTrail = false;
    return scanCp932(raw, backslashTrail) && backslashTrail && !cp932ToUtf8(raw).empty();
}

std::string legacyNameToUtf8(const std::string& raw) { return showsCp932(raw) ? cp932ToUtf8(raw) : cp437ToUtf8(raw); }

void readLegacyNames(std::vector<ZipEntry>& entries, const std::vector<std::size_t>& legacy) {
    bool cp932 = false;
    for (std::size_t i : legacy)
        if (showsCp932(entries[i].rawName)) {
            cp932 = true;
            break;
        }
    for (std::size_t i : legacy) {
        std::string text = cp932 ? cp932ToUtf8(entries[i].rawName) : std::string();
        entries[i].name = text.empty() ? cp437ToUtf8(entries[i].rawName) : text;
    }
}

}  // namespace quarva::engine
