#include "engine/ZipFormat.h"

#include <zlib.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <unordered_map>

namespace quarva::engine {

namespace {
// Code page 437, bytes 0x80..0xFF.
const char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}
}  // namespace

std::string cp437ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c < 0x80) out.push_back(char(c));
        else appendUtf8(out, kCp437High[c - 0x80]);
    }
    return out;
}

bool isValidUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        if (c < 0x80) n = 0;
        else if ((c & 0xE0) == 0xC0 && c >= 0xC2) n = 1;
        else if ((c & 0xF0) == 0xE0) n = 2;
        else if ((c & 0xF8) == 0xF0 && c <= 0xF4) n = 3;
        else return false;
        if (i + n >= s.size() && n > 0) return false;
        for (std::size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

bool ZipEntry::isDirectory() const {
    if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
    return (externalAttr & 0x10) != 0 && size == 0;
}

std::uint32_t ZipEntry::unixMode() const {
    int host = versionMadeBy >> 8;
    std::uint32_t mode = externalAttr >> 16;
    if ((host == 3 || host == 19 || mode != 0) && (mode & 0170000) != 0) return mode;
    return 0;
}

bool ZipEntry::isSymlink() const { return (unixMode() & 0170000) == 0120000; }

std::uint16_t ZipEntry::dosAttributes() const {
    std::uint16_t a = std::uint16_t(externalAttr & 0x3F);
    std::uint32_t mode = unixMode();
    if (mode) {
        if (!(mode & 0200)) a |= 0x01;
        if ((mode & 0170000) == 0040000) a |= 0x10;
    }
    if (isDirectory()) a |= 0x10;
    auto slash = name.find_last_of('/', name.size() > 1 ? name.size() - 2 : 0);
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    if (!base.empty() && base[0] == '.') a |= 0x02;
    return a;
}

Encryption ZipEntry::encryption() const {
    if (!(flags & kFlagEncrypted)) return Encryption::None;
    if (flags & kFlagStrong) return Encryption::Other;
    if (method == kMethodAes) {
        switch (aesStrength) {
        case 1: return Encryption::Aes128;
        case 2: return Encryption::Aes192;
        case 3: return Encryption::Aes256;
        default: return Encryption::Other;
        }
    }
    return Encryption::Traditional;
}

std::int64_t dosToUnix(std::uint16_t date, std::uint16_t time) {
    // mktime is slow (it consults the time zone every call): the start of each
    // local hour is converted once per thread and the minutes added.
    thread_local std::unordered_map<std::uint32_t, std::int64_t> hours;
    std::uint32_t key = (std::uint32_t(date) << 5) | ((time >> 11) & 0x1F);
    auto it = hours.find(key);
    if (it == hours.end()) {
        std::tm tm{};
        tm.tm_year = ((date >> 9) & 0x7F) + 80;
        tm.tm_mon = ((date >> 5) & 0x0F) - 1;
        tm.tm_mday = date & 0x1F;
        tm.tm_hour = (time >> 11) & 0x1F;
        tm.tm_isdst = -1;
        if (tm.tm_mon < 0) tm.tm_mon = 0;
        if (tm.tm_mday == 0) tm.tm_mday = 1;
        std::time_t t = std::mktime(&tm);
        if (hours.size() > 4096) hours.clear();
        it = hours.emplace(key, t == -1 ? 0 : std::int64_t(t)).first;
    }
    return it->second + ((time >> 5) & 0x3F) * 60 + (time & 0x1F) * 2;
}

void unixToDos(std::int64_t t, std::uint16_t& date, std::uint16_t& time) {
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    if (tm.tm_year < 80) {  // before 1980: the earliest date zip can hold
        date = (0 << 9) | (1 << 5) | 1;
        time = 0;
        return;
    }
    if (tm.tm_year > 207) tm.tm_year = 207;
    date = std::uint16_t(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    time = std::uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

std::string modifiedText(std::int64_t t) {
    // Local offsets are whole quarter hours: one conversion per quarter hour.
    thread_local std::unordered_map<std::int64_t, std::tm> quarters;
    std::int64_t q = t >= 0 ? t / 900 : (t - 899) / 900;
    auto it = quarters.find(q);
    if (it == quarters.end()) {
        std::time_t tt = static_cast<std::time_t>(q * 900);
        std::tm tm{};
        localtime_r(&tt, &tm);
        if (quarters.size() > 4096) quarters.clear();
        it = quarters.emplace(q, tm).first;
    }
    const std::tm& tm = it->second;
    int minute = tm.tm_min + int((t - q * 900) / 60);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100, tm.tm_hour,
                  minute);
    return buf;
}

std::int64_t extendedTime(std::uint32_t stored, std::uint16_t dosDate) {
    // The field has 32 bits: dates from 2038 to 2106 come with the top bit set and
    // are unsigned; a date before 1970 is negative. The DOS date (1980 to 2107) of
    // the same entry tells which one it is.
    int dosYear = 1980 + ((dosDate >> 9) & 0x7F);
    if ((stored & 0x80000000u) && dosYear < 2038) return std::int32_t(stored);
    return std::int64_t(stored);
}

bool hasExtendedTime(std::int64_t t) { return t >= std::int64_t(INT32_MIN) && t <= std::int64_t(UINT32_MAX); }

std::string withoutExtraField(const std::string& extra, std::uint16_t id) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
    std::size_t i = 0;
    while (i + 4 <= extra.size()) {
        std::size_t len = rd16(p + i + 2);
        if (i + 4 + len > extra.size()) {
            out.append(extra, i, std::string::npos);
            return out;
        }
        if (rd16(p + i) != id) out.append(extra, i, 4 + len);
        i += 4 + len;
    }
    // Trailing bytes too short to be a field stay as they were.
    if (i < extra.size() && i + 4 > extra.size()) out.append(extra, i, std::string::npos);
    return out;
}

bool parseExtra(const std::string& extra, ZipEntry& e, bool central, bool sizeMax, bool packedMax, bool offsetMax,
                bool diskMax) {
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
    std::size_t n = extra.size(), i = 0;
    bool ok = true;
    while (i + 4 <= n) {
        std::uint16_t id = rd16(p + i), len = rd16(p + i + 2);
        if (i + 4 + len > n) break;  // a last field cut short (padding some writers add): the fields end
        const unsigned char* d = p + i + 4;
        switch (id) {
        case 0x0001: {  // zip64: only the fields whose 32-bit value is all ones, in order
            std::size_t k = 0;
            auto take = [&](std::uint64_t& v) {
                if (k + 8 > len) {
                    ok = false;
                    return;
                }
                v = rd64(d + k);
                k += 8;
            };
            if (sizeMax) take(e.size);
            if (packedMax) take(e.packedSize);
            if (central && offsetMax) take(e.localOffset);
            if (central && diskMax) {
                if (k + 4 > len) ok = false;
                else e.disk = rd32(d + k);
            }
            break;
        }
        case 0x5455:  // extended timestamp: flags, then mtime when bit 0
            if (len >= 5 && (d[0] & 1)) e.mtime = extendedTime(rd32(d + 1), e.dosDate);
            break;
        case 0x000A:  // NTFS times: tag 1 holds mtime, atime, ctime in 100 ns since 1601
            if (len >= 32 && e.mtime == 0) {
                std::size_t k = 4;
                while (k + 4 <= len) {
                    std::uint16_t tag = rd16(d + k), tl = rd16(d + k + 2);
                    if (tag == 1 && tl >= 24 && k + 4 + 8 <= len) {
                        std::uint64_t ft = rd64(d + k + 4);
                        e.mtime = std::int64_t(ft / 10000000ULL) - 11644473600LL;
                        break;
                    }
                    k += 4 + tl;
                }
            }
            break;
        case 0x7075:  // Unicode path: version, CRC of the header name, UTF-8 name
            if (len >= 5 && d[0] == 1) {
                std::uint32_t crc = rd32(d + 1);
                std::string u(reinterpret_cast<const char*>(d + 5), len - 5);
                if (crc == crc32(0, reinterpret_cast<const Bytef*>(e.rawName.data()), uInt(e.rawName.size())) &&
                    isValidUtf8(u))
                    e.name = u;
            }
            break;
        case 0x9901:  // AES: vendor version, "AE", strength, real method
            if (len >= 7) {
                e.aesVersion = rd16(d);
                e.aesStrength = d[4];
                e.aesMethod = rd16(d + 5);
            }
            break;
        default: break;
        }
        i += 4 + len;
    }
    return ok;
}

}  // namespace quarva::engine
