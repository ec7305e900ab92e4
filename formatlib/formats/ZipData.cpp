#include "formatlib/formats/ZipData.h"

#include <fcntl.h>
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"

namespace quarva::formatlib {

namespace {

// Entries up to this size (packed and plain) take the direct path.
constexpr std::uint64_t kDirectLimit = 8ull << 20;
constexpr unsigned kMethodStored = 0, kMethodDeflate = 8;
constexpr unsigned kFlagEncrypted = 1;

unsigned le16(const unsigned char* p) { return static_cast<unsigned>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

// The method's name in listings; for AES entries the method under the encryption
// (kept in their 0x9901 extra field).
std::string zipMethodName(unsigned method, const unsigned char* extra, std::size_t length) {
    for (std::size_t i = 0; method == 99 && i + 4 <= length;) {
        const unsigned id = le16(extra + i), size = le16(extra + i + 2);
        if (id == 0x9901 && size >= 7 && i + 4 + size <= length) method = le16(extra + i + 4 + 5);
        i += 4 + size;
    }
    static const std::map<unsigned, const char*> names = {{0, "stored"}, {8, "deflate"}, {9, "deflate64"},
                                                          {12, "bzip2"}, {14, "lzma"},   {93, "zstd"},
                                                          {95, "xz"},    {98, "ppmd"}};
    const auto it = names.find(method);
    return it == names.end() ? "zip" : it->second;
}

// A method from libarchive's name of an entry's format, "ZIP 2.0 (deflation)" (read
// by local headers there is no directory to name it).
std::string methodFromFormatName(const std::string& text) {
    const auto open = text.find('('), close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return "zip";
    static const std::map<std::string, std::string> ours = {{"uncompressed", "stored"},
                                                            {"deflation", "deflate"},
                                                            {"deflation-64-bit", "deflate64"},
                                                            {"bzip", "bzip2"},
                                                            {"ppmd-1", "ppmd"}};
    const std::string method = text.substr(open + 1, close - open - 1);
    const auto it = ours.find(method);
    return it == ours.end() ? method : it->second;
}

}  // namespace

ZipCentralDirectory readZipCentralDirectory(const std::filesystem::path& path) {
    ZipCentralDirectory out;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return out;
    const auto size = static_cast<std::uint64_t>(in.tellg());
    const std::uint64_t span = std::min<std::uint64_t>(size, 66 * 1024);
    std::vector<unsigned char> tail(span);
    in.seekg(static_cast<std::streamoff>(size - span));
    if (!in.read(reinterpret_cast<char*>(tail.data()), static_cast<std::streamsize>(span))) return out;
    for (std::size_t i = span >= 22 ? span - 22 + 1 : 0; i-- > 0;) {
        if (std::memcmp(&tail[i], "PK\x05\x06", 4) != 0) continue;
        const std::uint32_t cdSize = le32(&tail[i + 12]), cdOffset = le32(&tail[i + 16]);
        const std::uint64_t eocdAt = size - span + i;
        if (cdSize == 0xFFFFFFFFu || cdSize > eocdAt || cdSize > (64u << 20)) return out;
        // Offsets count from the start of the zip, which a program in front moves.
        const std::uint64_t cdAt = eocdAt - cdSize;
        const bool biased = cdOffset <= cdAt;
        const std::uint64_t bias = biased ? cdAt - cdOffset : 0;
        bool plainNames = true;
        std::vector<unsigned char> cd(cdSize);
        in.clear();
        in.seekg(static_cast<std::streamoff>(cdAt));
        if (!in.read(reinterpret_cast<char*>(cd.data()), static_cast<std::streamsize>(cdSize))) return out;
        for (std::size_t p = 0; p + 46 <= cd.size();) {
            if (std::memcmp(&cd[p], "PK\x01\x02", 4) != 0) break;
            const unsigned n = le16(&cd[p + 28]), x = le16(&cd[p + 30]), c = le16(&cd[p + 32]);
            if (p + 46 + n > cd.size()) break;
            std::string name(reinterpret_cast<const char*>(&cd[p + 46]), n);
            const unsigned method = le16(&cd[p + 10]);
            const std::size_t extraAt = p + 46 + n;
            const std::size_t extraLength = extraAt + x <= cd.size() ? x : 0;
            out.stored[name] = {le32(&cd[p + 20]), le32(&cd[p + 16]),
                                zipMethodName(method, cd.data() + extraAt, extraLength)};
            ZipDataPlace place;
            place.flags = le16(&cd[p + 8]);
            place.method = method;
            place.crc = le32(&cd[p + 16]);
            place.packed = le32(&cd[p + 20]);
            place.size = le32(&cd[p + 24]);
            place.localHeader = le32(&cd[p + 42]) + bias;
            // Sizes and offsets kept in a zip64 field, or another disk, stay with libarchive.
            const bool plain = biased && le16(&cd[p + 34]) == 0 && place.packed != 0xFFFFFFFFu &&
                               place.size != 0xFFFFFFFFu && le32(&cd[p + 42]) != 0xFFFFFFFFu;
            // libarchive gives some names changed (a legacy code page, '\\' between
            // folders): only where none is can its names stand for the stored ones.
            plainNames = plainNames && std::all_of(name.begin(), name.end(),
                                                   [](char ch) { return ch >= 0x20 && ch < 0x7f && ch != '\\'; });
            auto [it, fresh] = out.places.emplace(std::move(name), place);
            if (!fresh) it->second.unique = false;
            else if (!plain) it->second.unique = false;
            p += 46 + n + x + c;
        }
        if (!plainNames) out.places.clear();
        return out;
    }
    return out;
}

struct ZipReader::Stream {
    ZipDataPlace place;
    std::uint64_t at = 0, left = 0;  // packed bytes still to read, from `at`
    std::uint64_t produced = 0;
    std::uint32_t crc = 0;
    inflate_state inflater;
    std::vector<unsigned char> in = std::vector<unsigned char>(256 * 1024);
};

ZipReader::ZipReader(const std::filesystem::path& path, const Setup& setup, const std::string& password,
                     const char* name, ZipCentralDirectory directory)
    : AnnotatedReader(path, setup, password, kKindZip, name, std::move(directory.stored)),
      places_(std::move(directory.places)) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

ZipReader::~ZipReader() {
    if (fd_ >= 0) ::close(fd_);
}

int ZipReader::next(EntryInfo& entry) {
    direct_ = streaming_ = false;
    directError_.clear();
    const int r = AnnotatedReader::next(entry);
    if (r == 1 && !annotated()) entry.method = methodFromFormatName(entryFormatName());
    if (r != 1 || !entry.isFile() || entry.encrypted || !entry.sizeKnown) return r;
    const auto it = places_.find(entry.name);
    if (it != places_.end() && it->second.size == entry.size) direct_ = startDirect(it->second);
    return r;
}

bool ZipReader::startDirect(const ZipDataPlace& place) {
    if (fd_ < 0 || !place.unique || (place.flags & kFlagEncrypted) ||
        (place.method != kMethodStored && place.method != kMethodDeflate) ||
        (place.method == kMethodStored && place.packed != place.size))
        return false;
    unsigned char h[30];
    if (!readAt(fd_, place.localHeader, h, sizeof h) || std::memcmp(h, "PK\x03\x04", 4) != 0) return false;
    const std::uint64_t dataAt = place.localHeader + 30 + le16(h + 26) + le16(h + 28);
    if (place.packed > kDirectLimit || place.size > kDirectLimit) {
        if (!stream_) stream_ = std::make_unique<Stream>();
        Stream& s = *stream_;
        s.place = place;
        s.at = dataAt;
        s.left = place.packed;
        s.produced = 0;
        s.crc = 0;
        isal_inflate_init(&s.inflater);
        s.inflater.crc_flag = ISAL_DEFLATE;
        streaming_ = true;
        return true;
    }
    unsigned char* plain = plain_.ensure(place.size);
    plainSize_ = place.size;
    if (place.method == kMethodStored) {
        if (place.size && !readAt(fd_, dataAt, plain, plainSize_)) return false;
    } else {
        unsigned char* packed = packed_.ensure(place.packed);
        if (place.packed && !readAt(fd_, dataAt, packed, place.packed)) return false;
        thread_local std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> d(
            libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
        std::size_t got = 0;
        if (!d ||
            libdeflate_deflate_decompress(d.get(), packed, place.packed, plain, plainSize_, &got) !=
                LIBDEFLATE_SUCCESS ||
            got != place.size)
            return false;  // libarchive reads it and says what is wrong
    }
    if (libdeflate_crc32(0, plain, plainSize_) != place.crc) directError_ = "the CRC-32 does not match the data";
    served_ = 0;
    return true;
}

unsigned char* ZipReader::Buffer::ensure(std::size_t n) {
    if (n > capacity || !bytes) {
        capacity = std::max<std::size_t>(n, 64 * 1024);
        bytes.reset(new unsigned char[capacity]);
    }
    return bytes.get();
}

long ZipReader::read(void* buffer, std::size_t size) {
    if (!direct_) return AnnotatedReader::read(buffer, size);
    if (!directError_.empty()) return -1;
    if (streaming_) return readStream(static_cast<unsigned char*>(buffer), size);
    const std::size_t n = std::min(size, plainSize_ - served_);
    if (n) std::memcpy(buffer, plain_.bytes.get() + served_, n);
    served_ += n;
    return static_cast<long>(n);
}

long ZipReader::view(const void** data, std::vector<char>& scratch) {
    if (!direct_) return AnnotatedReader::view(data, scratch);
    if (!streaming_ && directError_.empty()) {
        // The entry is in memory already: lend all that is left of it.
        *data = plain_.bytes.get() + served_;
        const std::size_t n = plainSize_ - served_;
        served_ = plainSize_;
        return static_cast<long>(n);
    }
    return DataSource::view(data, scratch);
}

long ZipReader::readStream(unsigned char* out, std::size_t size) {
    Stream& s = *stream_;
    auto fail = [&](const char* why) {
        directError_ = why;
        return -1L;
    };
    size = std::min<std::size_t>(size, 1u << 30);
    std::size_t got = 0;
    if (s.place.method == kMethodStored) {
        got = static_cast<std::size_t>(std::min<std::uint64_t>(size, s.left));
        if (got && !readAt(fd_, s.at, out, got)) return fail("the data ends before its declared size");
        s.at += got;
        s.left -= got;
    } else {
        inflate_state& z = s.inflater;
        z.next_out = out;
        z.avail_out = static_cast<std::uint32_t>(size);
        while (z.avail_out > 0 && z.block_state != ISAL_BLOCK_FINISH) {
            if (z.avail_in == 0 && s.left > 0) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(s.in.size(), s.left));
                if (!readAt(fd_, s.at, s.in.data(), n)) return fail("the data ends before its declared size");
                s.at += n;
                s.left -= n;
                z.next_in = s.in.data();
                z.avail_in = static_cast<std::uint32_t>(n);
            }
            const std::uint32_t before = z.avail_out, inBefore = z.avail_in;
            if (isal_inflate(&z) < 0) return fail("damaged deflate data");
            // All input given and nothing moved: the stream is cut short.
            if (s.left == 0 && z.avail_out == before && z.avail_in == inBefore && z.block_state != ISAL_BLOCK_FINISH)
                return fail("the deflate data ends early");
        }
        got = size - z.avail_out;
    }
    s.produced += got;
    if (s.produced > s.place.size) return fail("the data is longer than the archive declares");
    if (got) {
        s.crc = static_cast<std::uint32_t>(libdeflate_crc32(s.crc, out, got));
        return static_cast<long>(got);
    }
    if (s.produced != s.place.size) return fail("the data is shorter than the archive declares");
    if (s.crc != s.place.crc) return fail("the CRC-32 does not match the data");
    return 0;
}

}  // namespace quarva::formatlib
