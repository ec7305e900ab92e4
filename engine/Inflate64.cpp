// Deflate64: deflate with a 64 KiB window, length code 285 meaning 3 plus 16 extra
// bits, and distance codes 30 and 31 (14 extra bits each) reaching back 64 KiB.
// Written as a pull decoder: it asks for packed blocks as its bit buffer runs dry
// and hands plain bytes on whenever half of its window is full.

#include "engine/ZipMethods.h"

#include <array>
#include <cstring>
#include <vector>

namespace quarva::engine {

namespace {

// The output ring holds the 64 KiB a distance may reach back, the longest match
// and everything not yet handed on.
constexpr std::size_t kRing = 1u << 18;
constexpr std::size_t kRingMask = kRing - 1;
constexpr std::size_t kFlushAt = kRing / 2;
constexpr unsigned kMaxCodeBits = 15;

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 32> kDistBase = {
    1,   2,   3,   4,   5,    7,    9,    13,   17,   25,   33,   49,    65,    97,    129,   193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<std::uint8_t, 32> kDistExtra = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                                     7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

class BitReader {
public:
    explicit BitReader(PackedInput& in) : in_(in) {}
    // Tops the buffer up to at least 57 bits, or as far as the data goes.
    void fill() {
        while (count_ <= 56) {
            if (p_ == end_ && !fetch()) return;
            buf_ |= std::uint64_t(*p_++) << count_;
            count_ += 8;
        }
    }
    bool bits(unsigned n, std::uint32_t& v) {
        if (count_ < n) fill();
        if (count_ < n) return false;
        v = peek(n);
        drop(n);
        return true;
    }
    std::uint32_t peek(unsigned n) const { return std::uint32_t(buf_ & ((std::uint64_t(1) << n) - 1)); }
    void drop(unsigned n) {
        buf_ >>= n;
        count_ -= n;
    }
    unsigned count() const { return count_; }
    void alignToByte() { drop(count_ % 8); }

private:
    bool fetch() {
        if (ended_) return false;
        std::size_t n = 0;
        if (!in_.next(p_, n) || n == 0) {
            ended_ = true;
            p_ = end_ = nullptr;
            return false;
        }
        end_ = p_ + n;
        return true;
    }
    PackedInput& in_;
    const unsigned char* p_ = nullptr;
    const unsigned char* end_ = nullptr;
    std::uint64_t buf_ = 0;
    unsigned count_ = 0;
    bool ended_ = false;
};

// A canonical prefix code as one lookup table indexed by the next `bits` input
// bits (deflate sends codes starting with their first bit, so indices are the
// reversed codes): each slot holds symbol << 4 | length, 0 where no code fits.
class PrefixCode {
public:
    bool build(const std::uint8_t* lengths, unsigned n) {
        std::array<unsigned, kMaxCodeBits + 1> count{};
        for (unsigned i = 0; i < n; ++i) ++count[lengths[i]];
        count[0] = 0;
        bits_ = 0;
        int left = 1;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            left = left * 2 - int(count[len]);
            if (left < 0) return false;  // more codes than lengths allow
            if (count[len]) bits_ = len;
        }
        table_.assign(std::size_t(1) << bits_, 0);
        if (bits_ == 0) return true;  // no codes at all: any use is an error
        std::array<unsigned, kMaxCodeBits + 2> next{};
        unsigned code = 0;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            code = (code + count[len - 1]) << 1;
            next[len] = code;
        }
        for (unsigned sym = 0; sym < n; ++sym) {
            unsigned len = lengths[sym];
            if (!len) continue;
            unsigned c = next[len]++, rev = 0;
            for (unsigned b = 0; b < len; ++b) rev |= ((c >> b) & 1u) << (len - 1 - b);
            for (std::size_t at = rev; at < table_.size(); at += std::size_t(1) << len)
                table_[at] = std::uint16_t(sym << 4 | len);
        }
        return true;
    }
    bool decode(BitReader& br, unsigned& sym) const {
        if (bits_ == 0) return false;
        if (br.count() < bits_) br.fill();
        std::uint16_t slot = table_[br.peek(bits_)];
        unsigned len = slot & 15u;
        if (len == 0 || len > br.count()) return false;
        br.drop(len);
        sym = slot >> 4;
        return true;
    }

private:
    std::vector<std::uint16_t> table_;
    unsigned bits_ = 0;
};

class Inflater {
public:
    Inflater(PackedInput& in, PlainOutput& out, bool deflate64) : br_(in), out_(out), wide_(deflate64), ring_(kRing) {}

    StreamResult run() {
        for (bool last = false; !last;) {
            std::uint32_t final = 0, type = 0;
            if (!br_.bits(1, final) || !br_.bits(2, type)) return StreamResult::Damaged;
            last = final != 0;
            StreamResult r = StreamResult::Damaged;
            if (type == 0) r = storedBlock();
            else if (type == 1) r = fixedCodes() ? codedBlock() : StreamResult::Damaged;
            else if (type == 2) r = dynamicCodes() ? codedBlock() : StreamResult::Damaged;
            if (r != StreamResult::Ok) return r;
        }
        return flush();
    }

private:
    StreamResult storedBlock() {
        br_.alignToByte();
        std::uint32_t len = 0, nlen = 0;
        if (!br_.bits(16, len) || !br_.bits(16, nlen) || len != (~nlen & 0xFFFFu)) return StreamResult::Damaged;
        for (std::uint32_t i = 0; i < len; ++i) {
            std::uint32_t b = 0;
            if (!br_.bits(8, b)) return StreamResult::Damaged;
            ring_[pos_++ & kRingMask] = static_cast<unsigned char>(b);
            if (pos_ - flushed_ >= kFlushAt) {
                StreamResult r = flush();
                if (r != StreamResult::Ok) return r;
            }
        }
        return StreamResult::Ok;
    }

    bool fixedCodes() {
        std::array<std::uint8_t, 288> lit{};
        std::fill(lit.begin(), lit.begin() + 144, 8);
        std::fill(lit.begin() + 144, lit.begin() + 256, 9);
        std::fill(lit.begin() + 256, lit.begin() + 280, 7);
        std::fill(lit.begin() + 280, lit.end(), 8);
        std::array<std::uint8_t, 32> dist{};
        dist.fill(5);
        return lit_.build(lit.data(), 288) && dist_.build(dist.data(), 32);
    }

    bool dynamicCodes() {
        std::uint32_t hlit = 0, hdist = 0, hclen = 0;
        if (!br_.bits(5, hlit) || !br_.bits(5, hdist) || !br_.bits(4, hclen)) return false;
        unsigned nlit = hlit + 257, ndist = hdist + 1, nclen = hclen + 4;
        if (nlit > 286 || ndist > (wide_ ? 32u : 30u)) return false;
        std::array<std::uint8_t, 19> clen{};
        for (unsigned i = 0; i < nclen; ++i) {
            std::uint32_t v = 0;
            if (!br_.bits(3, v)) return false;
            clen[kCodeLengthOrder[i]] = std::uint8_t(v);
        }
        PrefixCode lengthCode;
        if (!lengthCode.build(clen.data(), 19)) return false;
        std::array<std::uint8_t, 286 + 32> lengths{};
        for (unsigned i = 0; i < nlit + ndist;) {
            unsigned sym = 0;
            if (!lengthCode.decode(br_, sym)) return false;
            if (sym < 16) {
                lengths[i++] = std::uint8_t(sym);
                continue;
            }
            std::uint32_t extra = 0;
            unsigned repeat = 0;
            std::uint8_t value = 0;
            if (sym == 16) {
                if (i == 0 || !br_.bits(2, extra)) return false;
                value = lengths[i - 1];
                repeat = 3 + extra;
            } else if (sym == 17) {
                if (!br_.bits(3, extra)) return false;
                repeat = 3 + extra;
            } else {
                if (!br_.bits(7, extra)) return false;
                repeat = 11 + extra;
            }
            if (i + repeat > nlit + ndist) return false;
            while (repeat--) lengths[i++] = value;
        }
        if (lengths[256] == 0) return false;  // a block must be able to end
        return lit_.build(lengths.data(), nlit) && dist_.build(lengths.data() + nlit, ndist);
    }

    StreamResult codedBlock() {
        for (;;) {
            unsigned sym = 0;
            if (!lit_.decode(br_, sym)) return StreamResult::Damaged;
            if (sym < 256) {
                ring_[pos_++ & kRingMask] = static_cast<unsigned char>(sym);
            } else if (sym == 256) {
                return StreamResult::Ok;
            } else {
                unsigned idx = sym - 257;
                if (idx >= kLengthBase.size()) return StreamResult::Damaged;
                std::uint32_t extra = 0;
                unsigned lenBits = kLengthExtra[idx], length = kLengthBase[idx];
                if (wide_ && idx == 28) {
                    lenBits = 16;
                    length = 3;
                }
                if (!br_.bits(lenBits, extra)) return StreamResult::Damaged;
                length += extra;
                unsigned dsym = 0;
                if (!dist_.decode(br_, dsym) || dsym >= (wide_ ? 32u : 30u)) return StreamResult::Damaged;
                if (!br_.bits(kDistExtra[dsym], extra)) return StreamResult::Damaged;
                std::uint64_t distance = kDistBase[dsym] + extra;
                if (distance > pos_) return StreamResult::Damaged;  // before the start of the data
                for (unsigned k = 0; k < length; ++k, ++pos_)
                    ring_[pos_ & kRingMask] = ring_[(pos_ - distance) & kRingMask];
            }
            if (pos_ - flushed_ >= kFlushAt) {
                StreamResult r = flush();
                if (r != StreamResult::Ok) return r;
            }
        }
    }

    // Hands on everything decoded since the last flush (in two pieces when it wraps).
    StreamResult flush() {
        while (flushed_ < pos_) {
            std::size_t at = std::size_t(flushed_ & kRingMask);
            std::size_t n = std::size_t(std::min<std::uint64_t>(pos_ - flushed_, kRing - at));
            StreamResult r = out_.put(ring_.data() + at, n);
            if (r != StreamResult::Ok) return r;
            flushed_ += n;
        }
        return StreamResult::Ok;
    }

    BitReader br_;
    PlainOutput& out_;
    bool wide_;
    std::vector<unsigned char> ring_;
    std::uint64_t pos_ = 0, flushed_ = 0;
    PrefixCode lit_, dist_;
};

}  // namespace

StreamResult inflate64(PackedInput& in, PlainOutput& out, bool deflate64) { return Inflater(in, out, deflate64).run(); }

}  // namespace quarva::engine
