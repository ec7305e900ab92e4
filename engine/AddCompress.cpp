// add: compressing file data with libdeflate, in whole files or joinable chunks.

#include "engine/AddCompress.h"

#include "engine/ZipFormat.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>

namespace quarva::engine {

namespace {

// Our levels 1-9 on libdeflate's scale of 1-12. Level 6, the default, is
// libdeflate's 5: at this strength it already packs tighter than the classic
// level 6 while running noticeably faster; 9 is libdeflate's strongest.
int libdeflateLevel(int level) {
    static const int map[10] = {0, 1, 1, 2, 3, 4, 5, 7, 9, 12};
    return map[std::clamp(level, 0, 9)];
}

libdeflate_compressor* compressorFor(int ourLevel) {
    int level = libdeflateLevel(ourLevel);
    thread_local std::map<int, std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)>> cache;
    auto it = cache.find(level);
    if (it == cache.end())
        it = cache
                 .emplace(level, std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)>(
                                     libdeflate_alloc_compressor(level), libdeflate_free_compressor))
                 .first;
    return it->second.get();
}

bool readAll(const std::string& path, std::uint64_t offset, std::size_t n, std::vector<unsigned char>& out, int& err,
             bool link) {
    out.resize(n);
    if (link) {
        std::vector<char> buf(4097);
        ssize_t r = ::readlink(path.c_str(), buf.data(), buf.size() - 1);
        if (r < 0) {
            err = errno;
            return false;
        }
        out.assign(buf.begin(), buf.begin() + r);
        return true;
    }
    // Not blocking on a fifo that took the file's place, and only a regular file.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        err = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        err = EINVAL;
        ::close(fd);
        return false;
    }
    std::size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd, out.data() + got, n - got, off_t(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            err = r < 0 ? errno : EIO;
            ::close(fd);
            return false;
        }
        got += std::size_t(r);
    }
    ::close(fd);
    return true;
}

// Data that a quick trial at the lowest level cannot shrink (pictures, archives,
// media) is not worth the full effort. Samples of 16 KiB spread over the data
// (up to eight) must each fail to gain even 1%; mixed data keeps full compression.
bool looksIncompressible(const unsigned char* d, std::size_t n) {
    constexpr std::size_t kSample = 16 * 1024;
    if (n < 8 * kSample) return false;
    thread_local std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> quick(
        libdeflate_alloc_compressor(1), libdeflate_free_compressor);
    thread_local std::vector<unsigned char> out(kSample);
    std::size_t samples = std::min<std::size_t>(8, n / (256 * 1024) + 3);
    for (std::size_t k = 0; k < samples; ++k) {
        std::size_t at = (n - kSample) * k / (samples - 1);
        // A result that does not fit in 99% of the sample comes back as 0.
        if (libdeflate_deflate_compress(quick.get(), d + at, kSample, out.data(), kSample * 99 / 100) != 0)
            return false;
    }
    return true;
}

// Raw data as deflate stored blocks (byte aligned); the last one is final when
// `final` is set.
std::vector<unsigned char> storedBlocks(const unsigned char* d, std::size_t n, bool final) {
    std::vector<unsigned char> out;
    out.reserve(n + (n / 65535 + 1) * 5);
    std::size_t pos = 0;
    do {
        std::size_t len = std::min<std::size_t>(65535, n - pos);
        bool last = pos + len == n;
        out.push_back(static_cast<unsigned char>(last && final ? 1 : 0));
        out.push_back(static_cast<unsigned char>(len & 0xff));
        out.push_back(static_cast<unsigned char>(len >> 8));
        out.push_back(static_cast<unsigned char>(~len & 0xff));
        out.push_back(static_cast<unsigned char>((~len >> 8) & 0xff));
        out.insert(out.end(), d + pos, d + pos + len);
        pos += len;
    } while (pos < n);
    return out;
}

// Turns a complete raw deflate stream into one that the next chunk's stream can
// follow: the final-block bit of its last block is cleared and an empty stored block
// ends it on a byte boundary (as a sync flush would). The block boundaries are found
// by inflating with Z_BLOCK.
bool makeJoinable(std::vector<unsigned char>& d, const unsigned char* raw) {
    std::vector<unsigned char> sink(1 << 16);
    // Pass 1: where does the last block start?
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return false;
    zs.next_in = d.data();
    zs.avail_in = uInt(d.size());
    std::uint64_t lastStart = 0, lastOut = 0;
    bool ended = false;
    for (;;) {
        zs.next_out = sink.data();
        zs.avail_out = uInt(sink.size());
        int r = inflate(&zs, Z_BLOCK);
        if (r == Z_STREAM_END) {
            ended = true;
            break;
        }
        if (r != Z_OK && r != Z_BUF_ERROR) break;
        if (r == Z_BUF_ERROR && zs.avail_in == 0) break;
        // At a block boundary (bit 128) fewer than 8 bits are held back.
        if ((zs.data_type & 128) && !(zs.data_type & 64)) {
            lastStart = std::uint64_t(d.size() - zs.avail_in) * 8 - std::uint64_t(zs.data_type & 7);
            lastOut = zs.total_out;
        }
    }
    inflateEnd(&zs);
    if (!ended) return false;
    d[std::size_t(lastStart / 8)] &= static_cast<unsigned char>(~(1u << (lastStart % 8)));
    // Pass 2: decode that block again, now not final, to learn exactly where it ends
    // (at the end of a stream zlib does not report the bit position).
    z_stream z2{};
    if (inflateInit2(&z2, -15) != Z_OK) return false;
    // The block refers back into the data before it.
    std::size_t dict = std::size_t(std::min<std::uint64_t>(lastOut, 32768));
    if (dict) inflateSetDictionary(&z2, raw + lastOut - dict, uInt(dict));
    std::size_t startByte = std::size_t(lastStart / 8);
    if (lastStart % 8) {
        inflatePrime(&z2, int(8 - lastStart % 8), d[startByte] >> (lastStart % 8));
        ++startByte;
    }
    z2.next_in = d.data() + startByte;
    z2.avail_in = uInt(d.size() - startByte);
    std::uint64_t endBit = 0;
    bool found = false;
    for (;;) {
        z2.next_out = sink.data();
        z2.avail_out = uInt(sink.size());
        int r = inflate(&z2, Z_BLOCK);
        if (r != Z_OK && r != Z_BUF_ERROR) break;
        if (z2.data_type & 128) {
            endBit = std::uint64_t(startByte) * 8 + std::uint64_t(d.size() - startByte - z2.avail_in) * 8 -
                     std::uint64_t(z2.data_type & 7);
            found = true;
            break;
        }
        if (z2.avail_in == 0 && z2.avail_out != 0) break;
    }
    inflateEnd(&z2);
    if (!found) return false;
    // An empty stored block after it: three zero bits (not final, stored), then
    // byte alignment and the lengths 0 / 0xFFFF.
    std::size_t headerEnd = std::size_t((endBit + 3 + 7) / 8);
    d.resize(std::size_t((endBit + 7) / 8));
    if (endBit % 8) d.back() &= static_cast<unsigned char>((1u << (endBit % 8)) - 1);
    d.resize(headerEnd, 0);
    const unsigned char lengths[4] = {0x00, 0x00, 0xFF, 0xFF};
    d.insert(d.end(), lengths, lengths + 4);
    return true;
}

}  // namespace

Piece failedPiece(int err) {
    Piece p;
    p.ok = false;
    p.err = err;
    return p;
}

Piece compressWhole(const Source& s, int level) {
    Piece p;
    std::vector<unsigned char> raw;
    if (!readAll(s.path, 0, s.isLink ? 0 : std::size_t(s.size), raw, p.err, s.isLink)) {
        p.ok = false;
        return p;
    }
    p.rawSize = raw.size();
    p.crc = std::uint32_t(libdeflate_crc32(0, raw.data(), raw.size()));
    if (level > 0 && !raw.empty() && !looksIncompressible(raw.data(), raw.size())) {
        libdeflate_compressor* c = compressorFor(level);
        std::size_t bound = libdeflate_deflate_compress_bound(c, raw.size());
        p.data.resize(bound);
        std::size_t n = libdeflate_deflate_compress(c, raw.data(), raw.size(), p.data.data(), bound);
        if (n > 0 && n < raw.size()) {
            p.data.resize(n);
            p.method = kMethodDeflate;
            return p;
        }
    }
    p.method = kMethodStored;
    p.data = std::move(raw);
    return p;
}

// One chunk of a large file, compressed on its own; all but the last are made
// joinable so that the chunks form one deflate stream.
Piece compressChunk(const Source& s, std::size_t index, std::size_t chunks, int level) {
    Piece p;
    std::uint64_t size = s.size;
    std::uint64_t start = std::uint64_t(index) * kChunk;
    std::size_t n = std::size_t(std::min<std::uint64_t>(kChunk, size - start));
    std::vector<unsigned char> raw;
    if (!readAll(s.path, start, n, raw, p.err, false)) {
        p.ok = false;
        return p;
    }
    p.rawSize = n;
    p.crc = std::uint32_t(libdeflate_crc32(0, raw.data(), n));
    if (level == 0) {
        p.method = kMethodStored;
        p.data = std::move(raw);
        return p;
    }
    if (looksIncompressible(raw.data(), n)) {
        p.data = storedBlocks(raw.data(), n, index + 1 == chunks);
        return p;
    }
    libdeflate_compressor* c = compressorFor(level);
    std::size_t bound = libdeflate_deflate_compress_bound(c, n);
    p.data.resize(bound);
    std::size_t got = libdeflate_deflate_compress(c, raw.data(), n, p.data.data(), bound);
    if (got == 0) {
        p.ok = false;
        p.err = ENOMEM;
        return p;
    }
    p.data.resize(got);
    if (index + 1 < chunks && !makeJoinable(p.data, raw.data())) {
        // Should the block walk ever fail, zlib's sync flush gives the same shape.
        z_stream zs{};
        if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            p.ok = false;
            p.err = ENOMEM;
            return p;
        }
        p.data.resize(deflateBound(&zs, uLong(n)) + 64);
        zs.next_in = raw.data();
        zs.avail_in = uInt(n);
        zs.next_out = p.data.data();
        zs.avail_out = uInt(p.data.size());
        int r = deflate(&zs, Z_SYNC_FLUSH);
        p.data.resize(p.data.size() - zs.avail_out);
        deflateEnd(&zs);
        if (r != Z_OK) {
            p.ok = false;
            p.err = EIO;
        }
    }
    return p;
}

}  // namespace quarva::engine
