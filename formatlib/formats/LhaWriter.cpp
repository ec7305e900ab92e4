#include "formatlib/formats/LhaWriter.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <sys/stat.h>
#include <unistd.h>

#include "formatlib/core/Abort.h"
#include "formatlib/formats/LhaHeaders.h"

namespace quarva::formatlib {
namespace {

constexpr unsigned kWindow = 8192;  // -lh5- dictionary
constexpr unsigned kMaxMatch = 256;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kNC = 510;  // literals and length codes
constexpr unsigned kNT = 19;   // code-length codes
constexpr unsigned kNP = 14;   // position codes of -lh5-
constexpr unsigned kHashBits = 14;
constexpr unsigned kRing = 16384;
constexpr unsigned kChain = 128;
constexpr std::size_t kBlockSymbols = 16384;

// Huffman code lengths for `freq`, no longer than `limit` bits. Symbols with
// frequency 0 get length 0. With fewer than two used symbols all lengths stay 0.
std::vector<std::uint8_t> huffmanLengths(const std::vector<std::uint32_t>& freq, unsigned limit) {
    std::vector<std::uint8_t> lengths(freq.size(), 0);
    std::vector<std::uint32_t> f = freq;
    for (;;) {
        std::vector<unsigned> used;
        for (unsigned i = 0; i < f.size(); ++i)
            if (f[i]) used.push_back(i);
        if (used.size() < 2) return lengths;
        const std::size_t m = used.size();
        std::vector<std::uint64_t> weight(2 * m);
        std::vector<std::size_t> parent(2 * m, 0);
        using Node = std::pair<std::uint64_t, std::size_t>;
        std::priority_queue<Node, std::vector<Node>, std::greater<Node>> pq;
        for (std::size_t i = 0; i < m; ++i) {
            weight[i] = f[used[i]];
            pq.push({weight[i], i});
        }
        std::size_t next = m;
        while (pq.size() > 1) {
            auto a = pq.top();
            pq.pop();
            auto b = pq.top();
            pq.pop();
            weight[next] = a.first + b.first;
            parent[a.second] = next;
            parent[b.second] = next;
            pq.push({weight[next], next});
            ++next;
        }
        // Parents are created after their children: walk from the root down.
        std::vector<unsigned> depth(next, 0);
        for (std::size_t i = next - 1; i-- > 0;) depth[i] = depth[parent[i]] + 1;
        unsigned maxDepth = 0;
        for (std::size_t i = 0; i < m; ++i) maxDepth = std::max(maxDepth, depth[i]);
        if (maxDepth <= limit) {
            for (std::size_t i = 0; i < m; ++i) lengths[used[i]] = static_cast<std::uint8_t>(depth[i]);
            return lengths;
        }
        for (auto& x : f)
            if (x) x = (x + 1) / 2;
    }
}

// Canonical codes: shorter codes first, equal lengths in symbol order.
std::vector<std::uint16_t> canonicalCodes(const std::vector<std::uint8_t>& lengths) {
    unsigned count[18] = {};
    for (auto l : lengths) ++count[l];
    count[0] = 0;
    unsigned next[18] = {};
    unsigned code = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    std::vector<std::uint16_t> codes(lengths.size(), 0);
    for (std::size_t i = 0; i < lengths.size(); ++i)
        if (lengths[i]) codes[i] = static_cast<std::uint16_t>(next[lengths[i]]++);
    return codes;
}

unsigned positionCode(unsigned offset) {
    unsigned p = 0;
    while (offset >> p) ++p;
    return p;  // 0 for offset 0, else the bit width of offset
}

unsigned usedCount(const std::vector<std::uint32_t>& freq, unsigned* single) {
    unsigned n = 0;
    *single = 0;
    for (unsigned i = 0; i < freq.size(); ++i)
        if (freq[i]) {
            ++n;
            *single = i;
        }
    return n;
}

void put16(std::vector<std::uint8_t>& v, std::size_t at, unsigned x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}
void put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

bool isAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned c = p[i];
        std::size_t len = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

constexpr std::size_t kMaxHeader = 0xFFFF;

}  // namespace

std::uint16_t lhaCrc16(std::uint16_t crc, const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

// --- -lh5- encoder -------------------------------------------------------------

Lh5Encoder::Lh5Encoder(std::vector<std::uint8_t>& out)
    : out_(out), head_(std::size_t(1) << kHashBits, -1), prev_(kRing, -1) {}

void Lh5Encoder::putBits(unsigned count, unsigned value) {
    if (count == 0) return;
    bitBuf_ = (bitBuf_ << count) | (value & ((1u << count) - 1));
    bitCount_ += count;
    while (bitCount_ >= 8) {
        bitCount_ -= 8;
        out_.push_back(static_cast<std::uint8_t>(bitBuf_ >> bitCount_));
    }
    bitBuf_ &= (1u << bitCount_) - 1;
}

void Lh5Encoder::insertHash(std::uint64_t pos) {
    const unsigned h = ((at(pos) << 10) ^ (at(pos + 1) << 5) ^ at(pos + 2)) & ((1u << kHashBits) - 1);
    prev_[pos % kRing] = head_[h];
    head_[h] = static_cast<std::int64_t>(pos);
}

void Lh5Encoder::feed(const std::uint8_t* data, std::size_t size) {
    buf_.insert(buf_.end(), data, data + size);
    process(false);
}

void Lh5Encoder::finish() {
    process(true);
    flushBlock();
    if (bitCount_ > 0) putBits(8 - bitCount_, 0);
}

void Lh5Encoder::process(bool final) {
    const std::uint64_t end = base_ + buf_.size();
    while (pos_ < end) {
        const std::uint64_t avail = end - pos_;
        if (!final && avail < kMaxMatch + kMinMatch) break;
        unsigned bestLen = 0, bestDist = 0;
        if (avail >= kMinMatch) {
            const unsigned limit = static_cast<unsigned>(std::min<std::uint64_t>(kMaxMatch, avail));
            const unsigned h = ((at(pos_) << 10) ^ (at(pos_ + 1) << 5) ^ at(pos_ + 2)) & ((1u << kHashBits) - 1);
            std::int64_t cand = head_[h];
            for (unsigned chain = 0; cand >= 0 && chain < kChain; ++chain) {
                const std::uint64_t c = static_cast<std::uint64_t>(cand);
                const std::uint64_t dist = pos_ - c;
                if (dist >= kWindow || c < base_) break;
                unsigned len = 0;
                const std::uint8_t* a = &buf_[pos_ - base_];
                const std::uint8_t* b = &buf_[c - base_];
                while (len < limit && a[len] == b[len]) ++len;
                if (len > bestLen) {
                    bestLen = len;
                    bestDist = static_cast<unsigned>(dist);
                    if (len == limit) break;
                }
                cand = prev_[c % kRing];
            }
        }
        if (bestLen >= kMinMatch) {
            emitMatch(bestLen, bestDist);
            for (unsigned k = 0; k < bestLen; ++k)
                if (pos_ + k + kMinMatch <= end) insertHash(pos_ + k);
            pos_ += bestLen;
        } else {
            emitLiteral(at(pos_));
            if (pos_ + kMinMatch <= end) insertHash(pos_);
            ++pos_;
        }
        if (symbols_.size() >= kBlockSymbols) flushBlock();
    }
    // Keep one window of history; drop older input.
    if (pos_ - base_ > 4 * 65536) {
        const std::uint64_t keep = pos_ - kWindow;
        buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(keep - base_));
        base_ = keep;
    }
}

void Lh5Encoder::emitLiteral(std::uint8_t c) { symbols_.push_back(c); }

void Lh5Encoder::emitMatch(unsigned length, unsigned distance) {
    symbols_.push_back(static_cast<std::uint16_t>(256 + length - kMinMatch));
    offsets_.push_back(static_cast<std::uint16_t>(distance - 1));
}

void Lh5Encoder::flushBlock() {
    if (symbols_.empty()) return;
    std::vector<std::uint32_t> freqC(kNC, 0), freqP(kNP, 0);
    for (auto s : symbols_) ++freqC[s];
    for (auto o : offsets_) ++freqP[positionCode(o)];
    // A block of one repeated symbol still gets a two-symbol code: some readers
    // reject the single-value form of the literal table.
    unsigned onlyC = 0;
    auto shapeC = freqC;
    if (usedCount(freqC, &onlyC) == 1) shapeC[onlyC == 0 ? 1 : 0] = 1;
    const auto lenC = huffmanLengths(shapeC, 16);
    const auto codeC = canonicalCodes(lenC);
    const auto lenP = huffmanLengths(freqP, 16);
    const auto codeP = canonicalCodes(lenP);

    putBits(16, static_cast<unsigned>(symbols_.size()));

    // A code-length table: count, then each length in 3 bits, 7 and up as 7
    // followed by (length - 7) one-bits and a zero. After the third length of the
    // code-length table comes a 2-bit count of zero lengths that follow.
    auto writeLengths = [this](const std::vector<std::uint8_t>& len, unsigned countBits, int special) {
        unsigned n = static_cast<unsigned>(len.size());
        while (n > 0 && len[n - 1] == 0) --n;
        putBits(countBits, n);
        unsigned i = 0;
        while (i < n) {
            const unsigned k = len[i++];
            if (k <= 6) {
                putBits(3, k);
            } else {
                putBits(3, 7);
                for (unsigned j = 7; j < k; ++j) putBits(1, 1);
                putBits(1, 0);
            }
            if (static_cast<int>(i) == special) {
                unsigned z = 0;
                while (i + z < 6 && i + z < len.size() && len[i + z] == 0) ++z;
                putBits(2, z);
                i += z;
            }
        }
    };

    unsigned singleC = 0;
    if (usedCount(shapeC, &singleC) >= 2) {
        // The literal/length lengths, run-length coded with the code-length code.
        struct TSym {
            unsigned sym, extraBits, extra;
        };
        std::vector<TSym> t;
        unsigned n = kNC;
        while (n > 0 && lenC[n - 1] == 0) --n;
        for (unsigned i = 0; i < n;) {
            const unsigned k = lenC[i++];
            if (k != 0) {
                t.push_back({k + 2, 0, 0});
                continue;
            }
            unsigned run = 1;
            while (i < n && lenC[i] == 0) {
                ++i;
                ++run;
            }
            if (run <= 2) {
                for (unsigned r = 0; r < run; ++r) t.push_back({0, 0, 0});
            } else if (run <= 18) {
                t.push_back({1, 4, run - 3});
            } else if (run == 19) {
                t.push_back({0, 0, 0});
                t.push_back({1, 4, 15});
            } else {
                t.push_back({2, 9, run - 20});
            }
        }
        std::vector<std::uint32_t> freqT(kNT, 0);
        for (const auto& x : t) ++freqT[x.sym];
        const auto lenT = huffmanLengths(freqT, 16);
        const auto codeT = canonicalCodes(lenT);
        unsigned singleT = 0;
        if (usedCount(freqT, &singleT) >= 2) {
            writeLengths(lenT, 5, 3);
        } else {
            putBits(5, 0);
            putBits(5, singleT);
        }
        putBits(9, n);
        for (const auto& x : t) {
            putBits(lenT[x.sym], codeT[x.sym]);
            putBits(x.extraBits, x.extra);
        }
    } else {
        putBits(5, 0);
        putBits(5, 0);
        putBits(9, 0);
        putBits(9, singleC);
    }
    unsigned singleP = 0;
    if (usedCount(freqP, &singleP) >= 2) {
        writeLengths(lenP, 4, -1);
    } else {
        putBits(4, 0);
        putBits(4, singleP);
    }
    std::size_t k = 0;
    for (auto s : symbols_) {
        putBits(lenC[s], codeC[s]);
        if (s >= 256) {
            const unsigned o = offsets_[k++];
            const unsigned p = positionCode(o);
            putBits(lenP[p], codeP[p]);
            if (p > 1) putBits(p - 1, o & ((1u << (p - 1)) - 1));
        }
    }
    symbols_.clear();
    offsets_.clear();
}

// --- archive writer --------------------------------------------------------------

LhaWriter::LhaWriter(const std::filesystem::path& path) : out_(std::fopen(path.c_str(), "wb")) {}

LhaWriter::~LhaWriter() {
    if (out_) std::fclose(out_);
}

bool LhaWriter::writeAll(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return true;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out_) != bytes.size()) {
        error_ = "cannot write the file (disk full?)";
        return false;
    }
    return true;
}

std::vector<std::uint8_t> LhaWriter::header(const EntryInfo& entry, const char* method, std::uint32_t packed,
                                            std::uint32_t original, std::uint16_t crc) {
    std::string folder, file = entry.name;
    while (!file.empty() && file.back() == '/') file.pop_back();
    // A link is stored as "name|target"; readers join folder and file part again
    // before they split at "|", so the whole text is split at its last "/".
    if (entry.isSymlink()) file += "|" + entry.linkTarget;
    if (entry.isDir()) {
        folder = file;
        file.clear();
    } else {
        const auto slash = file.rfind('/');
        if (slash != std::string::npos) {
            folder = file.substr(0, slash);
            file = file.substr(slash + 1);
        }
    }
    std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> ext;
    ext.push_back({0x00, {0, 0}});
    if (!file.empty()) ext.push_back({0x01, std::vector<std::uint8_t>(file.begin(), file.end())});
    if (!folder.empty()) {
        std::vector<std::uint8_t> d;
        for (char c : folder) d.push_back(c == '/' ? 0xFF : static_cast<std::uint8_t>(c));
        d.push_back(0xFF);
        ext.push_back({0x02, d});
    }
    // Names beyond ASCII are UTF-8; the code page tells readers so.
    if (!isAscii(file) || !isAscii(folder)) {
        std::vector<std::uint8_t> cp(4);
        put32(cp, 0, kLhaCodePageUtf8);
        ext.push_back({0x46, cp});
    }
    const std::uint32_t type = entry.isDir() ? S_IFDIR : entry.isSymlink() ? S_IFLNK : S_IFREG;
    const std::uint32_t mode = type | (entry.mode & 07777);
    ext.push_back({0x50, {static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(mode >> 8)}});

    std::vector<std::uint8_t> h(26, 0);
    std::memcpy(&h[2], method, 5);
    put32(h, 7, packed);
    put32(h, 11, original);
    put32(h, 15, static_cast<std::uint32_t>(entry.mtime));
    h[19] = 0x20;
    h[20] = 2;
    put16(h, 21, crc);
    h[23] = 'U';
    put16(h, 24, static_cast<unsigned>(3 + ext[0].second.size()));
    std::size_t crcAt = 0;
    for (std::size_t i = 0; i < ext.size(); ++i) {
        h.push_back(ext[i].first);
        if (ext[i].first == 0x00) crcAt = h.size();
        h.insert(h.end(), ext[i].second.begin(), ext[i].second.end());
        const unsigned nextSize = i + 1 < ext.size() ? static_cast<unsigned>(3 + ext[i + 1].second.size()) : 0;
        h.push_back(static_cast<std::uint8_t>(nextSize));
        h.push_back(static_cast<std::uint8_t>(nextSize >> 8));
    }
    // A level-2 header whose size ends in a zero byte gets one byte of padding,
    // so that it can never be taken for the end-of-archive mark.
    if ((h.size() & 0xFF) == 0) h.push_back(0);
    if (h.size() > kMaxHeader) return {};  // refused by refuses(); never written wrapped
    put16(h, 0, static_cast<unsigned>(h.size()));
    put16(h, crcAt, lhaCrc16(0, h.data(), h.size()));
    return h;
}

std::string LhaWriter::refuses(const EntryInfo& entry) {
    if (!isUtf8(entry.name) || (entry.isSymlink() && !isUtf8(entry.linkTarget)))
        return "the name is not valid UTF-8, and LHA archives made here record names as UTF-8";
    if (header(entry, "-lh5-", 0, 0, 0).empty())
        return "the name is too long for an LHA header (at most 65535 bytes of header)";
    return {};
}

bool LhaWriter::writeHeader(const EntryInfo& entry, const char* method, std::uint32_t packed, std::uint32_t original,
                            std::uint16_t crc) {
    const auto h = header(entry, method, packed, original, crc);
    if (h.empty()) {
        error_ = refuses(entry);
        return false;
    }
    return writeAll(h);
}

bool LhaWriter::add(const EntryInfo& entry, DataSource* data) {
    if (!out_) return false;
    if (const std::string why = refuses(entry); !why.empty()) {
        error_ = entry.name + ": " + why;
        return false;
    }
    if (entry.isDir() || entry.isSymlink() || !data) {
        return writeHeader(entry, "-lhd-", 0, 0, 0);
    }
    const long start = std::ftell(out_);
    // Placeholder header; rewritten once sizes and CRC are known (same length).
    const bool emptyKnown = entry.sizeKnown && entry.size == 0;
    const char* method = emptyKnown ? "-lh0-" : "-lh5-";
    if (!writeHeader(entry, method, 0, 0, 0)) return false;
    std::vector<std::uint8_t> packedBytes;
    Lh5Encoder enc(packedBytes);
    std::vector<std::uint8_t> buf(64 * 1024);
    std::uint64_t original = 0, packed = 0;
    std::uint16_t crc = 0;
    // Small entries are kept aside, so that one that does not compress is stored instead.
    constexpr std::uint64_t kKeepLimit = 1 << 20;
    std::vector<std::uint8_t> raw;
    bool keeping = true;
    for (;;) {
        const long n = readUnlessAborted(*data, buf.data(), buf.size(), error_);
        if (n < 0) return false;
        if (n == 0) break;
        if (emptyKnown) {
            error_ = "the data is longer than its recorded size";
            return false;
        }
        original += static_cast<std::uint64_t>(n);
        if (original > 0xFFFFFFFFull) {
            error_ = "an LHA entry holds at most 4 GiB: " + entry.name;
            return false;
        }
        crc = lhaCrc16(crc, buf.data(), static_cast<std::size_t>(n));
        if (keeping && original <= kKeepLimit) {
            raw.insert(raw.end(), buf.begin(), buf.begin() + n);
        } else {
            keeping = false;
            raw.clear();
            raw.shrink_to_fit();
        }
        enc.feed(buf.data(), static_cast<std::size_t>(n));
        packed += packedBytes.size();
        if (!writeAll(packedBytes)) return false;
        packedBytes.clear();
    }
    if (!emptyKnown) {
        enc.finish();
        packed += packedBytes.size();
        if (!writeAll(packedBytes)) return false;
    }
    if (original == 0 && !emptyKnown) {
        // Nothing came: store it as an empty file.
        if (std::fseek(out_, start, SEEK_SET) != 0) return false;
        if (!writeHeader(entry, "-lh0-", 0, 0, 0)) return false;
        std::fflush(out_);
        if (ftruncate(fileno(out_), std::ftell(out_)) != 0) return false;
        return std::fseek(out_, 0, SEEK_END) == 0;
    }
    if (keeping && packed >= original) {
        if (std::fseek(out_, start, SEEK_SET) != 0) {
            error_ = "cannot seek in the output";
            return false;
        }
        if (!writeHeader(entry, "-lh0-", static_cast<std::uint32_t>(original), static_cast<std::uint32_t>(original),
                         crc) ||
            !writeAll(raw))
            return false;
        std::fflush(out_);
        const long stored = std::ftell(out_);
        if (ftruncate(fileno(out_), stored) != 0) {
            error_ = "cannot write the file";
            return false;
        }
        return true;
    }
    const long end = std::ftell(out_);
    if (std::fseek(out_, start, SEEK_SET) != 0) {
        error_ = "cannot seek in the output";
        return false;
    }
    if (!writeHeader(entry, method, static_cast<std::uint32_t>(packed), static_cast<std::uint32_t>(original), crc))
        return false;
    return std::fseek(out_, end, SEEK_SET) == 0;
}

bool LhaWriter::finish() {
    if (!out_) return false;
    const bool good = std::fputc(0, out_) != EOF && std::fflush(out_) == 0;
    const bool closed = std::fclose(out_) == 0;
    out_ = nullptr;
    if (!good || !closed) {
        error_ = "cannot write the file (disk full?)";
        return false;
    }
    return true;
}

}  // namespace quarva::formatlib
