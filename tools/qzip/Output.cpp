#include "tools/qzip/Output.h"

#include <cinttypes>

namespace quarva::qzip {

namespace {

// Length of the UTF-8 sequence starting at s[i], 0 when it is not well-formed.
std::size_t utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
    else return 0;
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

void appendHex(std::string& out, unsigned char c) {
    char b[8];
    std::snprintf(b, sizeof b, "\\x%02X", c);
    out += b;
}

std::string localTime(std::int64_t t, const char* format) {
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) return "-";
    char b[64];
    return std::strftime(b, sizeof b, format, &tm) ? b : "-";
}

std::string number(const std::optional<std::uint64_t>& v) { return v ? std::to_string(*v) : "-"; }

std::optional<int> ratioOf(const std::optional<std::uint64_t>& size, const std::optional<std::uint64_t>& packed) {
    if (!size || !packed) return std::nullopt;
    if (*size == 0 || *packed >= *size) return 0;
    return int(100 - (*packed * 100) / *size);
}

std::string ratioText(const std::optional<int>& r) { return r ? std::to_string(*r) + "%" : "-"; }

std::string encryptionText(const ListedEntry& e) {
    if (!e.encrypted) return "-";
    if (!*e.encrypted) return "no";
    return e.encryption.empty() ? "yes" : e.encryption;
}

}  // namespace

const char* methodName(int m) {
    switch (m) {
    case 0: return "stored";
    case 8: return "deflate";
    case 9: return "deflate64";
    case 12: return "bzip2";
    case 14: return "lzma";
    case 93: return "zstd";
    case 95: return "xz";
    case 98: return "ppmd";
    default: return "other";
    }
}

const char* encryptionName(int e) {
    switch (e) {
    case 0: return "none";
    case 1: return "zipcrypto";
    case 2: return "aes128";
    case 3: return "aes192";
    case 4: return "aes256";
    default: return "other";
    }
}

bool isValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8Length(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

namespace {
bool needsEscape(const std::string& name, std::size_t i, std::size_t n) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    // C1 controls (U+0080..U+009F) steer terminals as the C0 ones do.
    return n == 0 || c < 0x20 || c == 0x7F || (n == 2 && c == 0xC2 && static_cast<unsigned char>(name[i + 1]) < 0xA0);
}
}  // namespace

std::string printableName(const std::string& name) {
    bool escapes = false;
    for (std::size_t i = 0; i < name.size() && !escapes;) {
        const std::size_t n = utf8Length(name, i);
        escapes = needsEscape(name, i, n);
        i += n ? n : 1;
    }
    if (!escapes) return name;
    // Once escapes stand in the name, a real backslash is doubled so it cannot read as one.
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const std::size_t n = utf8Length(name, i);
        if (!needsEscape(name, i, n)) {
            if (c == '\\') out += "\\\\";
            else out.append(name, i, n);
            i += n;
            continue;
        }
        const std::size_t bytes = n ? n : 1;
        for (std::size_t k = 0; k < bytes; ++k) {
            const unsigned char b = static_cast<unsigned char>(name[i + k]);
            if (b == '\n') out += "\\n";
            else if (b == '\r') out += "\\r";
            else if (b == '\t') out += "\\t";
            else appendHex(out, b);
        }
        i += bytes;
    }
    return out;
}

std::string withSlashes(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

std::string dateText(std::int64_t unixTime) { return localTime(unixTime, "%Y-%m-%d %H:%M"); }

std::string isoTime(std::int64_t unixTime) {
    std::string t = localTime(unixTime, "%Y-%m-%dT%H:%M:%S%z");
    // strftime's "+0100" as ISO 8601's "+01:00".
    if (t.size() > 5 && (t[t.size() - 5] == '+' || t[t.size() - 5] == '-')) t.insert(t.size() - 2, ":");
    return t;
}

std::string jsonString(const std::string& text) {
    std::string o = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t n = utf8Length(text, i);
        if (n == 0) {
            o += "\\ufffd";
            ++i;
            continue;
        }
        if (n > 1) {
            o.append(text, i, n);
            i += n;
            continue;
        }
        switch (c) {
        case '"': o += "\\\""; break;
        case '\\': o += "\\\\"; break;
        case '\n': o += "\\n"; break;
        case '\r': o += "\\r"; break;
        case '\t': o += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char b[8];
                std::snprintf(b, sizeof b, "\\u%04x", c);
                o += b;
            } else {
                o.push_back(char(c));
            }
        }
        ++i;
    }
    return o + "\"";
}

void Listing::add(const ListedEntry& e) {
    const std::size_t shown = files_ + folders_;
    if (e.isDir) ++folders_;
    else ++files_;
    if (!e.isDir) {
        // Totals stop at the largest number instead of wrapping round (the sizes
        // a damaged archive declares may add up beyond it).
        const auto add = [](std::uint64_t& total, std::uint64_t v) {
            total = v > UINT64_MAX - total ? UINT64_MAX : total + v;
        };
        add(size_, e.size.value_or(0));
        if (e.packed) add(packed_, *e.packed);
        else packedKnown_ = false;
    }
    const auto ratio = ratioOf(e.size, e.packed);
    if (json_) {
        const auto orNull = [](bool known, const std::string& v) { return known ? v : std::string("null"); };
        char crc[16] = "";
        if (e.crc) std::snprintf(crc, sizeof crc, "\"%08" PRIx32 "\"", *e.crc);
        std::fprintf(
            out_,
            "%s{\"name\":%s,\"type\":\"%s\",\"size\":%s,\"packed\":%s,\"ratio\":%s,\"modified\":%s,"
            "\"mtime\":%s,\"method\":%s,\"encrypted\":%s,\"encryption\":%s,\"crc\":%s}",
            shown ? ",\n " : "[", jsonString(e.name).c_str(), e.isDir ? "folder" : "file",
            orNull(bool(e.size), number(e.size)).c_str(), orNull(bool(e.packed), number(e.packed)).c_str(),
            orNull(bool(ratio), ratio ? std::to_string(*ratio) : "").c_str(),
            orNull(bool(e.mtime), e.mtime ? jsonString(isoTime(*e.mtime)) : "").c_str(),
            orNull(bool(e.mtime), e.mtime ? std::to_string(*e.mtime) : "").c_str(),
            orNull(!e.method.empty(), jsonString(e.method)).c_str(),
            orNull(bool(e.encrypted), e.encrypted && *e.encrypted ? "true" : "false").c_str(),
            orNull(e.encrypted.has_value(),
                   jsonString(e.encrypted && *e.encrypted ? (e.encryption.empty() ? "yes" : e.encryption) : "none"))
                .c_str(),
            e.crc ? crc : "null");
        return;
    }
    if (shown == 0) {
        std::fprintf(out_, "%12s %12s %5s  %-16s  %-9s %-9s %s\n", "Size", "Packed", "Ratio", "Modified", "Method",
                     "Enc", "Name");
        std::fprintf(out_, "%12s %12s %5s  %-16s  %-9s %-9s %s\n", "------------", "------------", "-----",
                     "----------------", "---------", "---------", "----");
    }
    std::fprintf(out_, "%12s %12s %5s  %-16s  %-9s %-9s %s\n", e.isDir ? "-" : number(e.size).c_str(),
                 e.isDir ? "-" : number(e.packed).c_str(), e.isDir ? "-" : ratioText(ratio).c_str(),
                 e.mtime ? dateText(*e.mtime).c_str() : "-", e.method.empty() ? "-" : e.method.c_str(),
                 encryptionText(e).c_str(), printableName(e.name).c_str());
}

void Listing::finish() {
    if (json_) {
        std::fprintf(out_, files_ + folders_ ? "]\n" : "[]\n");
        return;
    }
    const std::optional<std::uint64_t> packed = packedKnown_ ? std::optional(packed_) : std::nullopt;
    if (files_ + folders_ == 0) {
        std::fprintf(out_, "no entries\n");
        return;
    }
    std::fprintf(out_, "%12s %12s %5s  %-16s  %-9s %-9s %s\n", "------------", "------------", "-----", "", "", "",
                 "----");
    const std::string count =
        std::to_string(files_) + (files_ == 1 ? " file" : " files") +
        (folders_ ? ", " + std::to_string(folders_) + (folders_ == 1 ? " folder" : " folders") : std::string());
    std::fprintf(out_, "%12s %12s %5s  %-16s  %-9s %-9s %s\n", std::to_string(size_).c_str(), number(packed).c_str(),
                 ratioText(ratioOf(size_, packed)).c_str(), "", "", "", count.c_str());
}

}  // namespace quarva::qzip
