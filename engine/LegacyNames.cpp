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

// Characters that give a name its shape: separators, dots, the drive colon and
// control characters.
bool shapes(unsigned char c) { return c == '/' || c == '\\' || c == '.' || c == ':' || c < 0x20 || c == 0x7F; }

// True when the shaping characters of `text` are those of `raw` in the same order,
// save for backslash bytes that the character set read as the second byte of a
// character. A set that turns other bytes into a separator, a dot or a control
// character (UTF-16, EBCDIC, UTF-7) would give the name a path it never had.
bool sameShape(const std::string& raw, const std::string& text) {
    std::size_t r = 0;
    for (unsigned char c : text) {
        if (!shapes(c)) continue;
        while (r < raw.size() && !(shapes(static_cast<unsigned char>(raw[r])) && raw[r] == char(c))) {
            if (shapes(static_cast<unsigned char>(raw[r])) && raw[r] != '\\') return false;
            ++r;
        }
        if (r == raw.size()) return false;
        ++r;
    }
    for (; r < raw.size(); ++r)
        if (shapes(static_cast<unsigned char>(raw[r])) && raw[r] != '\\') return false;
    return true;
}

// One conversion into UTF-8, opened once for a whole directory.
class Decoder {
public:
    explicit Decoder(const std::string& charset)
        : cd_(charset.empty() ? iconv_t(-1) : ::iconv_open("UTF-8", charset.c_str())) {}
    ~Decoder() {
        if (ok()) ::iconv_close(cd_);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    bool ok() const { return cd_ != iconv_t(-1); }

    // `raw` in UTF-8; empty when it is not valid in the set.
    std::string operator()(const std::string& raw) {
        if (!ok() || raw.empty()) return {};
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // a fresh start for every name
        std::string out(raw.size() * 4 + 8, '\0');
        char* in = const_cast<char*>(raw.data());
        std::size_t inLeft = raw.size(), outLeft = out.size();
        char* o = out.data();
        std::size_t r = ::iconv(cd_, &in, &inLeft, &o, &outLeft);
        // A stateful set must also find its way back to the initial state.
        if (r != std::size_t(-1)) r = ::iconv(cd_, nullptr, nullptr, &o, &outLeft);
        if (r == std::size_t(-1) || inLeft != 0) return {};
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t cd_;
};

// True when `text` (UTF-8) holds a C1 control character (U+0080..U+009F): the
// ISO 8859 sets read bytes 0x80..0x9F so, and terminals obey them as commands.
bool hasC1Control(const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) return true;
    return false;
}

// The name in the chosen set; empty when it is not valid there, would change shape
// or gain control characters.
std::string chosenReading(Decoder& chosen, const std::string& raw) {
    std::string text = chosen(raw);
    return sameShape(raw, text) && !hasC1Control(text) ? text : std::string();
}

}  // namespace

std::string cp932ToUtf8(const std::string& raw) {
    bool backslashTrail = false;
    if (!scanCp932(raw, backslashTrail)) return {};
    // Lead and trail bytes in range that name no character fail in the conversion.
    return Decoder("CP932")(raw);
}

bool showsCp932(const std::string& raw) {
    bool backslashTrail = false;
    return scanCp932(raw, backslashTrail) && backslashTrail && !cp932ToUtf8(raw).empty();
}

std::string legacyNameToUtf8(const std::string& raw) { return showsCp932(raw) ? cp932ToUtf8(raw) : cp437ToUtf8(raw); }

bool knownCharset(const std::string& charset) {
    // iconv reads "X//IGNORE" as X and "/" alone as the locale's set: no part of a name.
    if (charset.find('/') != std::string::npos) return false;
    Decoder decoder(charset);
    if (!decoder.ok()) return false;
    // Each printable ASCII byte must read as itself, save the two that Shift JIS
    // gives to the yen and overline signs; a set that gives ASCII other meanings
    // (UTF-7, UTF-16, EBCDIC) could make separators or dots out of other bytes.
    for (char c = ' '; c < 0x7F; ++c)
        if (c != '\\' && c != '~' && decoder(std::string(1, c)) != std::string(1, c)) return false;
    return true;
}

void readLegacyNames(std::vector<ZipEntry>& entries, const std::vector<std::size_t>& legacy,
                     const std::string& charset) {
    bool cp932 = false;
    for (std::size_t i : legacy)
        if (showsCp932(entries[i].rawName)) {
            cp932 = true;
            break;
        }
    Decoder chosen(knownCharset(charset) ? charset : std::string());
    for (std::size_t i : legacy) {
        const std::string& raw = entries[i].rawName;
        std::string text = chosenReading(chosen, raw);
        if (text.empty() && cp932) text = cp932ToUtf8(raw);
        entries[i].name = text.empty() ? cp437ToUtf8(raw) : text;
    }
}

}  // namespace quarva::engine
