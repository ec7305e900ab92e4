#include "formatlib/formats/UuCodec.h"

#include <fstream>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Abort.h"
#include "formatlib/core/Progress.h"

namespace quarva::formatlib {
namespace {

const std::string kUU = [] {
    std::string s;
    s.push_back('`');
    for (char c = '!'; c <= '_'; ++c) s.push_back(c);
    return s;
}();
const std::string kXX = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

constexpr std::size_t kLineBytes = 45;
constexpr std::size_t kMaxLine = 4096;

void fillTable(int* table, TextCode code) {
    for (int i = 0; i < 256; ++i) table[i] = -1;
    const std::string& a = alphabet(code);
    for (std::size_t i = 0; i < a.size(); ++i) table[static_cast<unsigned char>(a[i])] = static_cast<int>(i);
    if (code == TextCode::UU) table[' '] = 0;  // old encoders wrote blanks for zero
}

bool parseBegin(const std::string& line, unsigned* mode, std::string* name) {
    if (line.compare(0, 6, "begin ") != 0) return false;
    std::size_t i = 6;
    unsigned m = 0;
    std::size_t digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '7') {
        m = m * 8 + static_cast<unsigned>(line[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || i >= line.size() || line[i] != ' ') return false;
    *mode = m & 0777;
    *name = line.substr(i + 1);
    while (!name->empty() && (name->back() == '\r' || name->back() == ' ')) name->pop_back();
    return true;
}

// True when `line` is a well-formed body line under `table`.
bool consistent(const std::string& line, const int* table) {
    if (line.empty()) return false;
    const int n = table[static_cast<unsigned char>(line[0])];
    if (n < 0 || n > 63) return false;
    const std::size_t need = 1 + (static_cast<std::size_t>(n) + 2) / 3 * 4;
    std::size_t len = line.size();
    while (len > 0 && (line[len - 1] == '\r' || line[len - 1] == ' ')) --len;
    if (len < need) return false;
    for (std::size_t i = 1; i < need; ++i)
        if (table[static_cast<unsigned char>(line[i])] < 0) return false;
    return true;
}

}  // namespace

const std::string& alphabet(TextCode code) { return code == TextCode::UU ? kUU : kXX; }

bool encodeText(TextCode code, bool table, const std::string& name, unsigned mode, DataSource& in, std::ostream& out,
                std::string* error) {
    const std::string& a = alphabet(code);
    if (table) out << "table\n" << a.substr(0, 32) << "\n" << a.substr(32) << "\n";
    char modeText[8];
    std::snprintf(modeText, sizeof modeText, "%o", mode & 0777);
    out << "begin " << modeText << " " << name << "\n";
    std::vector<std::uint8_t> buf(kLineBytes * 1024);
    std::size_t have = 0;
    bool eof = false;
    std::string line;
    while (!eof || have > 0) {
        if (abortRequested()) {
            *error = "Operation aborted";
            return false;
        }
        while (!eof && have < kLineBytes) {
            const long n =
                readUnlessAborted(in, buf.data() + have, buf.size() - have, *error, "cannot read the source");
            if (n < 0) return false;
            if (n == 0) eof = true;
            have += static_cast<std::size_t>(n);
        }
        std::size_t off = 0;
        while (have - off >= kLineBytes || (eof && off < have)) {
            const std::size_t n = std::min(kLineBytes, have - off);
            line.clear();
            line.push_back(a[n]);
            for (std::size_t i = 0; i < n; i += 3) {
                const unsigned b0 = buf[off + i];
                const unsigned b1 = i + 1 < n ? buf[off + i + 1] : 0;
                const unsigned b2 = i + 2 < n ? buf[off + i + 2] : 0;
                line.push_back(a[b0 >> 2]);
                line.push_back(a[((b0 << 4) | (b1 >> 4)) & 63]);
                line.push_back(a[((b1 << 2) | (b2 >> 6)) & 63]);
                line.push_back(a[b2 & 63]);
            }
            out << line << "\n";
            off += n;
        }
        std::memmove(buf.data(), buf.data() + off, have - off);
        have -= off;
    }
    out << a[0] << "\nend\n";
    out.flush();
    if (!out) {
        *error = "cannot write the target (disk full?)";
        return false;
    }
    return true;
}

std::optional<TextCode> sniffText(const std::uint8_t* head, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(head), size);
    std::size_t pos = 0;
    bool sawTable = false;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) return std::nullopt;
        std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (line.compare(0, 5, "table") == 0) sawTable = true;
        unsigned mode;
        std::string name;
        if (!parseBegin(line, &mode, &name)) continue;
        eol = text.find('\n', pos);
        std::string body = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        int uu[256], xx[256];
        fillTable(uu, TextCode::UU);
        fillTable(xx, TextCode::XX);
        const bool isUU = consistent(body, uu);
        const bool isXX = consistent(body, xx);
        if (isXX && (!isUU || sawTable)) return TextCode::XX;
        if (isUU) return TextCode::UU;
        if (isXX) return TextCode::XX;
        return std::nullopt;
    }
    return std::nullopt;
}

TextCodeReader::TextCodeReader(const std::filesystem::path& path, TextCode code)
    : in_(path, std::ios::binary), code_(code) {
    std::error_code ec;
    const auto t = std::filesystem::last_write_time(path, ec);
    if (!ec) mtime_ = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(t));
    fileSize_ = std::filesystem::file_size(path, ec);
    if (ec) fileSize_ = 0;  // unknown: no total for the progress
    fillTable(table_, code);
    opened_ = static_cast<bool>(in_);
    if (!opened_) error_ = "cannot open the file";
}

unsigned TextCodeReader::kind() const { return kKindOther; }

bool TextCodeReader::readLine(std::string& line) {
    line.clear();
    char c;
    while (in_.get(c)) {
        ++consumed_;
        if (c == '\n') {
            ++lineNo_;
            return true;
        }
        if (line.size() >= kMaxLine) {
            error_ = "line " + std::to_string(lineNo_ + 1) + " is too long for encoded text";
            return false;
        }
        line.push_back(c);
    }
    if (!line.empty()) ++lineNo_;
    return !line.empty();
}

bool TextCodeReader::decodeLine(const std::string& line, std::string& out, bool* end) {
    *end = false;
    std::string l = line;
    while (!l.empty() && (l.back() == '\r')) l.pop_back();
    if (l.empty()) {  // a blank line ends the body the way a zero-length line does
        *end = true;
        return true;
    }
    const int n = table_[static_cast<unsigned char>(l[0])];
    if (n < 0) return false;
    if (n == 0) {
        *end = true;
        return true;
    }
    const std::size_t need = 1 + (static_cast<std::size_t>(n) + 2) / 3 * 4;
    while (l.size() < need && code_ == TextCode::UU) l.push_back(' ');  // stripped trailing blanks
    if (l.size() < need) return false;
    std::size_t produced = 0;
    for (std::size_t i = 1; i < need; i += 4) {
        int v[4];
        for (int k = 0; k < 4; ++k) {
            v[k] = table_[static_cast<unsigned char>(l[i + k])];
            if (v[k] < 0) return false;
        }
        const unsigned char bytes[3] = {static_cast<unsigned char>((v[0] << 2) | (v[1] >> 4)),
                                        static_cast<unsigned char>((v[1] << 4) | (v[2] >> 2)),
                                        static_cast<unsigned char>((v[2] << 6) | v[3])};
        for (int k = 0; k < 3 && produced < static_cast<std::size_t>(n); ++k, ++produced)
            out.push_back(static_cast<char>(bytes[k]));
    }
    return true;
}

bool TextCodeReader::passBody(std::uint64_t* size) {
    std::string line, scratch;
    for (;;) {
        if (!readLine(line)) {
            error_ = error_.empty() ? "the encoded text ends without \"end\"" : error_;
            return false;
        }
        bool end = false;
        scratch.clear();
        if (!decodeLine(line, scratch, &end)) {
            error_ = "malformed encoded line " + std::to_string(lineNo_);
            return false;
        }
        if (end) return true;
        *size += scratch.size();
    }
}

int TextCodeReader::next(EntryInfo& entry) {
    if (!opened_) return -1;
    // Skip the rest of a body that was not read to its end.
    std::string line;
    std::uint64_t skipped = 0;
    if (inBody_ && !passBody(&skipped)) return -1;
    inBody_ = false;
    bool tableNext = false;
    std::string tableText;
    for (;;) {
        if (!readLine(line)) {
            if (!error_.empty()) return -1;
            reportProgress(fileSize_, fileSize_);
            return 0;
        }
        if (tableNext) {
            tableText += line;
            while (!tableText.empty() && tableText.back() == '\r') tableText.pop_back();
            if (tableText.size() >= 64) {
                for (int& t : table_) t = -1;
                for (std::size_t i = 0; i < 64; ++i)
                    table_[static_cast<unsigned char>(tableText[i])] = static_cast<int>(i);
                tableNext = false;
            }
            continue;
        }
        if (line.compare(0, 5, "table") == 0) {
            tableNext = true;
            tableText.clear();
            continue;
        }
        unsigned mode = 0644;
        std::string name;
        if (!parseBegin(line, &mode, &name)) continue;
        // Measure the body without keeping it, then come back to its start.
        const auto bodyStart = in_.tellg();
        const auto startLine = lineNo_;
        const auto startConsumed = consumed_;
        std::uint64_t size = 0;
        if (!passBody(&size)) return -1;
        in_.clear();
        in_.seekg(bodyStart);
        lineNo_ = startLine;
        consumed_ = startConsumed;
        entry = EntryInfo{};
        entry.name = name;
        entry.size = size;
        entry.packedSize = size * 4 / 3 + size / 45 * 2;
        entry.sizeKnown = true;
        entry.mode = mode ? mode : 0644;
        entry.method = formatName();
        entry.mtime = mtime_;  // the text keeps no time: the encoded file's own
        inBody_ = true;
        pending_.clear();
        pendingAt_ = 0;
        return 1;
    }
}

long TextCodeReader::read(void* buffer, std::size_t size) {
    std::size_t got = 0;
    auto* out = static_cast<char*>(buffer);
    while (got < size) {
        if (pendingAt_ < pending_.size()) {
            const std::size_t n = std::min(size - got, pending_.size() - pendingAt_);
            std::memcpy(out + got, pending_.data() + pendingAt_, n);
            pendingAt_ += n;
            got += n;
            continue;
        }
        if (!inBody_) break;
        std::string line;
        if (!readLine(line)) {
            error_ = error_.empty() ? "the encoded text ends without \"end\"" : error_;
            return -1;
        }
        pending_.clear();
        pendingAt_ = 0;
        bool end = false;
        if (!decodeLine(line, pending_, &end)) {
            error_ = "malformed encoded line " + std::to_string(lineNo_);
            return -1;
        }
        if (end) inBody_ = false;
    }
    reportProgress(consumed_, fileSize_);
    return static_cast<long>(got);
}

}  // namespace quarva::formatlib
