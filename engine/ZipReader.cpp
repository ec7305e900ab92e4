#include "engine/ZipReader.h"

#include "engine/LegacyNames.h"
#include "engine/ZipCrypto.h"
#include "engine/ZipEngine.h"
#include "engine/ZipMethods.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace quarva::engine {

namespace {
constexpr std::size_t kBlock = 256 * 1024;
}  // namespace

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

void InputFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

std::int16_t InputFile::open(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    size_ = 0;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return (errno == ENOENT || errno == ENOTDIR) ? kStatusArchiveNotFound : kStatusAccess;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return kStatusAccess;
    if (S_ISDIR(st.st_mode)) return kStatusAccess;
    size_ = std::uint64_t(st.st_size);
    return kStatusOk;
}

bool InputFile::read(std::uint64_t offset, void* buf, std::size_t n) const {
    if (offset > size_ || n > size_ - offset) return false;
    auto* p = static_cast<char*>(buf);
    while (n > 0) {
        ssize_t r = ::pread(fd_, p, n, off_t(offset));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= std::size_t(r);
        offset += std::uint64_t(r);
    }
    return true;
}

std::int16_t readDirectory(const InputFile& file, ZipDirectory& dir, bool allowSpanned,
                           const std::string& namesCharset) {
    dir = ZipDirectory{};
    dir.fileSize = file.size();
    if (file.size() == 0) return kStatusZeroLength;
    if (file.size() < 22) return kStatusZeroLength;
    std::uint64_t tail = std::min<std::uint64_t>(file.size(), 65535 + 22 + 20);
    std::vector<unsigned char> buf(tail);
    std::uint64_t tailStart = file.size() - tail;
    if (!file.read(tailStart, buf.data(), buf.size())) return kStatusUnexpectedEof;
    // The end record nearest the end whose comment fits; trailing junk is allowed.
    long found = -1;
    for (long i = long(tail) - 22; i >= 0; --i) {
        if (rd32(&buf[i]) != kSigEnd) continue;
        std::uint16_t clen = rd16(&buf[i + 20]);
        if (std::uint64_t(i) + 22 + clen <= tail) {
            found = i;
            break;
        }
    }
    if (found < 0) return kStatusZeroLength;
    const unsigned char* e = &buf[found];
    std::uint64_t endPos = tailStart + std::uint64_t(found);
    std::uint32_t diskNo = rd16(e + 4), cdDisk = rd16(e + 6);
    std::uint64_t count = rd16(e + 10), cdSize = rd32(e + 12), cdOffset = rd32(e + 16);
    dir.comment.assign(reinterpret_cast<const char*>(e + 22), rd16(e + 20));
    dir.rawComment = dir.comment;
    if (!isValidUtf8(dir.comment)) dir.comment = cp437ToUtf8(dir.comment);
    std::uint64_t directoryEnd = endPos;  // where the central directory must end
    dir.endOffset = endPos;
    // zip64 end record, through its locator just before the end record.
    if (endPos >= 20) {
        unsigned char loc[20];
        if (file.read(endPos - 20, loc, 20) && rd32(loc) == kSigEnd64Locator) {
            std::uint64_t declared = rd64(loc + 8);
            unsigned char z[56];
            std::uint64_t at = declared;
            bool ok = file.read(at, z, 56) && rd32(z) == kSigEnd64;
            if (!ok && endPos >= 76) {
                at = endPos - 20 - 56;  // usually right before the locator (prefix moved it)
                ok = file.read(at, z, 56) && rd32(z) == kSigEnd64;
                // Pointing before it is a prefix's doing; pointing after it is damage.
                if (ok && declared >= file.size())
                    dir.endProblem = "the zip64 end locator points past the end of the file";
                else if (ok && declared > at) dir.endProblem = "the zip64 end locator points to the wrong place";
            }
            if (!ok) return kStatusCorrupt;
            // Values of the end record that are not "see the zip64 record" must agree with it.
            std::uint64_t count16 = rd16(e + 10), size32 = rd32(e + 12), offset32 = rd32(e + 16);
            if ((count16 != 0xFFFF && count16 != rd64(z + 32)) || (size32 != 0xFFFFFFFF && size32 != rd64(z + 40)) ||
                (offset32 != 0xFFFFFFFF && offset32 != rd64(z + 48))) {
                if (dir.endProblem.empty()) dir.endProblem = "the end record disagrees with the zip64 end record";
            }
            diskNo = rd32(z + 16);
            cdDisk = rd32(z + 20);
            count = rd64(z + 32);
            cdSize = rd64(z + 40);
            cdOffset = rd64(z + 48);
            directoryEnd = at;
            dir.endOffset = at;
        }
    }
    dir.diskNumber = diskNo;
    dir.centralDisk = cdDisk;
    if (diskNo != 0 || cdDisk != 0) {
        if (!allowSpanned || cdDisk != diskNo) return kStatusSpanned;
    }
    if (cdSize > directoryEnd) return kStatusCorrupt;
    std::uint64_t cdStart = directoryEnd - cdSize;
    if (cdOffset <= cdStart) {
        dir.bias = std::int64_t(cdStart - cdOffset);  // both lie inside the file
    } else {
        // The directory claims to lie further on than it can; trust the offset if a
        // directory is there instead (archives with junk between data and directory).
        unsigned char sig[4];
        if (cdOffset <= file.size() && cdSize <= file.size() - cdOffset && file.read(cdOffset, sig, 4) &&
            rd32(sig) == kSigCentral) {
            dir.bias = 0;
            cdStart = cdOffset;
        } else {
            return kStatusCorrupt;
        }
    }
    dir.centralOffset = cdOffset;
    dir.centralSize = cdSize;
    if (count > cdSize / 46 + 1) return kStatusCorrupt;
    if (cdSize > (std::uint64_t(1) << 31)) return kStatusNoMemory;
    std::vector<unsigned char> cd(cdSize);
    if (cdSize && !file.read(cdStart, cd.data(), cd.size())) return kStatusUnexpectedEof;
    dir.entries.reserve(count);
    std::vector<std::size_t> legacy;
    std::size_t p = 0;
    while (p + 46 <= cd.size() && rd32(&cd[p]) == kSigCentral) {
        const unsigned char* c = &cd[p];
        ZipEntry en;
        en.versionMadeBy = rd16(c + 4);
        en.versionNeeded = rd16(c + 6);
        en.flags = rd16(c + 8);
        en.method = rd16(c + 10);
        en.dosTime = rd16(c + 12);
        en.dosDate = rd16(c + 14);
        en.crc = rd32(c + 16);
        en.packedSize = rd32(c + 20);
        en.size = rd32(c + 24);
        std::size_t nameLen = rd16(c + 28), extraLen = rd16(c + 30), commentLen = rd16(c + 32);
        en.disk = rd16(c + 34);
        en.internalAttr = rd16(c + 36);
        en.externalAttr = rd32(c + 38);
        en.localOffset = rd32(c + 42);
        if (p + 46 + nameLen + extraLen + commentLen > cd.size()) return kStatusCorrupt;
        en.rawName.assign(reinterpret_cast<const char*>(c + 46), nameLen);
        en.centralExtra.assign(reinterpret_cast<const char*>(c + 46 + nameLen), extraLen);
        std::string comment(reinterpret_cast<const char*>(c + 46 + nameLen + extraLen), commentLen);
        en.rawComment = comment;
        bool utf8 = (en.flags & kFlagUtf8) != 0;
        int host = en.versionMadeBy >> 8;
        bool legacyName = !((utf8 || host == 3 || host == 19) && isValidUtf8(en.rawName));
        en.name = legacyName ? cp437ToUtf8(en.rawName) : en.rawName;
        en.comment = ((utf8 || host == 3) && isValidUtf8(comment)) ? comment : cp437ToUtf8(comment);
        en.mtime = dosToUnix(en.dosDate, en.dosTime);
        if (!parseExtra(en.centralExtra, en, true, en.size == 0xFFFFFFFF, en.packedSize == 0xFFFFFFFF,
                        en.localOffset == 0xFFFFFFFF, en.disk == 0xFFFF))
            return kStatusCorrupt;
        // Named from legacy bytes, unless a Unicode path field named it since.
        if (legacyName && en.name == cp437ToUtf8(en.rawName)) legacy.push_back(dir.entries.size());
        dir.entries.push_back(std::move(en));
        p += 46 + nameLen + extraLen + commentLen;
    }
    readLegacyNames(dir.entries, legacy, namesCharset);
    if (dir.entries.size() != count && count != 0xFFFF) {
        // A count that disagrees with the records means a damaged directory.
        if (dir.entries.size() < count) return kStatusCorrupt;
        if (dir.endProblem.empty()) dir.endProblem = "the end record counts fewer entries than the directory holds";
    }
    return kStatusOk;
}

ZipReading zipReading(const std::string& path) {
    InputFile f;
    if (f.open(path) != 0 || f.size() < 4) return ZipReading::Engine;
    ZipDirectory dir;
    const std::int16_t status = readDirectory(f, dir, true);
    if (status == kStatusOk || status == kStatusSpanned) {
        for (const auto& e : dir.entries)
            if (e.realMethod() == kMethodPpmd && e.encryption() != Encryption::Other) return ZipReading::OtherMethods;
        return ZipReading::Engine;
    }
    unsigned char sig[4];
    if (!f.read(0, sig, 4) || rd32(sig) != kSigLocal || startsStronglyEncrypted(f)) return ZipReading::Engine;
    return ZipReading::LocalHeaders;
}

bool startsStronglyEncrypted(const InputFile& file) {
    unsigned char head[8];
    return file.read(0, head, 8) && rd32(head) == kSigLocal && (rd16(head + 6) & (kFlagStrong | kFlagMaskedHeaders));
}

std::uint64_t prefixLength(const ZipDirectory& dir) {
    std::uint64_t first = dir.centralOffset + std::uint64_t(dir.bias);
    for (const auto& e : dir.entries) first = std::min(first, e.localOffset + std::uint64_t(dir.bias));
    return std::min(first, dir.fileSize);
}

std::vector<std::uint64_t> dataLimits(const ZipDirectory& dir) {
    std::vector<std::uint64_t> starts;
    starts.reserve(dir.entries.size() + 1);
    for (const auto& e : dir.entries) starts.push_back(e.localOffset);
    std::uint64_t cdAt = dir.centralOffset;
    starts.push_back(cdAt);
    std::sort(starts.begin(), starts.end());
    std::vector<std::uint64_t> limits(dir.entries.size());
    for (std::size_t i = 0; i < dir.entries.size(); ++i) {
        std::uint64_t off = dir.entries[i].localOffset;
        auto lo = std::lower_bound(starts.begin(), starts.end(), off);
        auto hi = std::upper_bound(starts.begin(), starts.end(), off);
        if (hi - lo > 1) {
            limits[i] = 0;  // two entries share one local header
        } else if (hi == starts.end()) {
            limits[i] = off <= cdAt ? cdAt : dir.fileSize;  // behind the directory: only the file bounds it
        } else {
            limits[i] = *hi;
        }
    }
    return limits;
}

bool localDataStart(const InputFile& file, const ZipDirectory& dir, const ZipEntry& e, std::uint64_t& dataStart) {
    std::uint64_t at = e.localOffset + std::uint64_t(dir.bias);
    unsigned char h[30];
    if (!file.read(at, h, 30) || rd32(h) != kSigLocal) return false;
    dataStart = at + 30 + rd16(h + 26) + rd16(h + 28);
    return dataStart <= file.size();
}

namespace {

// Buffers for whole-entry decoding: small ones are kept per thread, large ones
// live for one entry. Not zero-filled: every byte is written before it is read.
struct Scratch {
    std::unique_ptr<unsigned char[]> own;
    unsigned char* ptr = nullptr;
    unsigned char* data() { return ptr; }
};

Scratch scratch(int which, std::size_t n) {
    constexpr std::size_t kKeep = 16u << 20;
    thread_local std::unique_ptr<unsigned char[]> kept[2];
    thread_local std::size_t keptSize[2] = {0, 0};
    Scratch s;
    if (n <= kKeep) {
        if (keptSize[which] < n || !kept[which]) {
            std::size_t grow = std::max<std::size_t>({n, keptSize[which] * 2, 64 * 1024});
            grow = std::min(grow, kKeep);
            kept[which].reset(new unsigned char[grow]);
            keptSize[which] = grow;
        }
        s.ptr = kept[which].get();
    } else {
        s.own.reset(new unsigned char[n]);
        s.ptr = s.own.get();
    }
    return s;
}

struct Decryptor {
    std::unique_ptr<TraditionalCipher> trad;
    std::unique_ptr<AesCipher> aes;
    bool apply(unsigned char* d, std::size_t n) {
        if (trad) trad->decrypt(d, n);
        else if (aes) return aes->decrypt(d, n);
        return true;
    }
};

// The entry's packed bytes, read block by block and decrypted.
class EntryInput : public PackedInput {
public:
    EntryInput(const InputFile& file, std::uint64_t pos, std::uint64_t remaining, Decryptor& dec,
               const std::atomic<bool>& abort)
        : file_(file), pos_(pos), remaining_(remaining), dec_(dec), abort_(abort), buf_(kBlock) {}
    bool next(const unsigned char*& data, std::size_t& n) override {
        if (abort_.load()) {
            aborted = true;
            return false;
        }
        n = std::size_t(std::min<std::uint64_t>(kBlock, remaining_));
        if (n && (!file_.read(pos_, buf_.data(), n) || !dec_.apply(buf_.data(), n))) return false;
        pos_ += n;
        remaining_ -= n;
        data = buf_.data();
        return true;
    }
    // Reads what the decoder left behind: the authentication code covers all of it.
    bool drain() {
        const unsigned char* d = nullptr;
        std::size_t n = 0;
        do {
            if (!next(d, n)) return false;
        } while (n);
        return true;
    }
    bool aborted = false;

private:
    const InputFile& file_;
    std::uint64_t pos_, remaining_;
    Decryptor& dec_;
    const std::atomic<bool>& abort_;
    std::vector<unsigned char> buf_;
};

// Counts and checksums the plain bytes on their way to the sink; never lets more
// than the declared size through.
class EntryOutput : public PlainOutput {
public:
    EntryOutput(std::uint64_t size, const std::atomic<bool>& abort, const DataSink& sink)
        : size_(size), abort_(abort), sink_(sink) {}
    StreamResult put(const unsigned char* d, std::size_t n) override {
        if (abort_.load()) return StreamResult::Aborted;
        if (n > size_ - written) return StreamResult::Damaged;  // more than declared
        crc = std::uint32_t(libdeflate_crc32(crc, d, n));
        written += n;
        return sink_(d, n) ? StreamResult::Ok : StreamResult::SinkFailed;
    }
    std::uint32_t crc = 0;
    std::uint64_t written = 0;

private:
    std::uint64_t size_;
    const std::atomic<bool>& abort_;
    const DataSink& sink_;
};

// A declared size above the real one by a whole multiple of 4 GiB.
bool offByWhole4GiB(std::uint64_t declared, std::uint64_t real) {
    return declared > real && ((declared - real) & 0xFFFFFFFFu) == 0;
}

}  // namespace

DecodeOutcome decodeEntry(const InputFile& file, const ZipDirectory& dir, const ZipEntry& e, std::uint64_t limit,
                          const std::string& password, const std::atomic<bool>& abort, const DataSink& sink,
                          std::uint64_t wholeLimit) {
    DecodeOutcome out;
    auto fail = [&](SkipReason r) {
        out.result = DecodeResult::Reason;
        out.reason = std::int16_t(r);
        return out;
    };
    Encryption enc = e.encryption();
    if (enc == Encryption::Other) return fail(SkipReason::UnsupportedEncryption);
    std::uint16_t method = e.realMethod();
    if (!methodDecodable(method)) return fail(SkipReason::UnsupportedMethod);
    std::uint64_t dataStart = 0;
    if (!localDataStart(file, dir, e, dataStart)) return fail(SkipReason::Damaged);
    if (limit == 0) return fail(SkipReason::Overlap);
    std::uint64_t biasedLimit = limit + std::uint64_t(dir.bias);
    if (dataStart > biasedLimit || e.packedSize > biasedLimit - dataStart) {
        // Its data runs into the next entry (or beyond the file).
        return fail(dataStart + e.packedSize > file.size() ? SkipReason::Damaged : SkipReason::Overlap);
    }
    std::uint64_t pos = dataStart, remaining = e.packedSize;
    Decryptor dec;
    bool checkCrc = true;
    if (enc == Encryption::Traditional) {
        if (remaining < 12) return fail(SkipReason::Damaged);
        if (password.empty()) {
            out.result = DecodeResult::NeedPassword;
            return out;
        }
        unsigned char head[12];
        if (!file.read(pos, head, 12)) return fail(SkipReason::Damaged);
        dec.trad = std::make_unique<TraditionalCipher>(password);
        dec.trad->decrypt(head, 12);
        unsigned char check = (e.flags & kFlagDescriptor) ? static_cast<unsigned char>(e.dosTime >> 8)
                                                          : static_cast<unsigned char>(e.crc >> 24);
        if (head[11] != check) {
            out.result = DecodeResult::NeedPassword;
            return out;
        }
        pos += 12;
        remaining -= 12;
    } else if (enc != Encryption::None) {
        std::size_t saltLen = aesSaltLength(e.aesStrength);
        if (remaining < saltLen + 2 + kAesAuthLength) return fail(SkipReason::Damaged);
        if (password.empty()) {
            out.result = DecodeResult::NeedPassword;
            return out;
        }
        unsigned char salt[18];
        if (!file.read(pos, salt, saltLen + 2)) return fail(SkipReason::Damaged);
        unsigned char verifier[2];
        dec.aes = AesCipher::create(password, e.aesStrength, salt, verifier);
        if (!dec.aes) return fail(SkipReason::UnsupportedEncryption);
        if (verifier[0] != salt[saltLen] || verifier[1] != salt[saltLen + 1]) {
            out.result = DecodeResult::NeedPassword;
            return out;
        }
        pos += saltLen + 2;
        remaining -= saltLen + 2 + kAesAuthLength;
        checkCrc = e.aesVersion != 2;  // AE-2 stores no CRC
    }
    // Some writers get the high 32 bits of the size wrong (a whole 4 GiB too many): a
    // stored entry is then exactly as long as its data, any other ends with its
    // stream; the CRC still has the last word.
    std::uint64_t size = e.size;
    if (method == kMethodStored && remaining != size) {
        if (!offByWhole4GiB(size, remaining)) return fail(SkipReason::Damaged);
        size = remaining;
    }
    // Deflate expands at most 1032 to 1: a larger declared size is a lie, found
    // before any memory is set aside for it (its low 32 bits, as above).
    if (method == kMethodDeflate && (size & 0xFFFFFFFFu) / 1032 > remaining + 1) return fail(SkipReason::Damaged);

    EntryOutput output(size, abort, sink);
    wholeLimit = std::min(wholeLimit, kWholeBufferLimit);
    if (method == kMethodDeflate && size <= wholeLimit && remaining <= wholeLimit) {
        // Whole buffer: one read, one libdeflate call.
        Scratch in = scratch(0, std::size_t(remaining));
        if (remaining && !file.read(pos, in.data(), remaining)) return fail(SkipReason::Damaged);
        if (!dec.apply(in.data(), remaining)) return fail(SkipReason::Damaged);
        if (abort.load()) {
            out.result = DecodeResult::Aborted;
            return out;
        }
        Scratch plain = scratch(1, std::size_t(size));
        thread_local std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> d(
            libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
        if (!d) return fail(SkipReason::Damaged);
        std::size_t actual = 0;
        libdeflate_result r =
            libdeflate_deflate_decompress(d.get(), in.data(), remaining, plain.data(), std::size_t(size), &actual);
        if (r != LIBDEFLATE_SUCCESS || actual != size) return fail(SkipReason::Damaged);
        for (std::uint64_t off = 0; off < size; off += kBlock) {
            std::size_t n = std::size_t(std::min<std::uint64_t>(kBlock, size - off));
            StreamResult put = output.put(plain.data() + off, n);
            if (put == StreamResult::Aborted) {
                out.result = DecodeResult::Aborted;
                return out;
            }
            if (put != StreamResult::Ok) {
                out.result = DecodeResult::SinkFailed;
                return out;
            }
        }
    } else {
        // Every method streams: packed blocks in, plain blocks out.
        EntryInput input(file, pos, remaining, dec, abort);
        StreamResult r = decodeStream(method, e, input, output);
        if (r == StreamResult::Ok && !input.drain()) r = StreamResult::Damaged;
        if (input.aborted) r = StreamResult::Aborted;
        switch (r) {
        case StreamResult::Ok: break;
        case StreamResult::Aborted: out.result = DecodeResult::Aborted; return out;
        case StreamResult::SinkFailed: out.result = DecodeResult::SinkFailed; return out;
        case StreamResult::Unsupported: return fail(SkipReason::UnsupportedMethod);
        case StreamResult::Damaged: return fail(SkipReason::Damaged);
        }
        if (output.written != size && !offByWhole4GiB(size, output.written)) return fail(SkipReason::Damaged);
    }
    if (dec.aes) {
        unsigned char code[kAesAuthLength], stored[kAesAuthLength];
        if (!dec.aes->finish(code) || !file.read(dataStart + e.packedSize - kAesAuthLength, stored, kAesAuthLength) ||
            std::memcmp(code, stored, kAesAuthLength) != 0)
            return fail(SkipReason::Damaged);
    }
    out.crc = output.crc;
    out.written = output.written;
    if (checkCrc && output.crc != e.crc) return fail(SkipReason::Crc);
    return out;
}

}  // namespace quarva::engine
