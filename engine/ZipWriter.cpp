#include "engine/ZipWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace quarva::engine {

namespace {
constexpr std::size_t kBufSize = 1 << 20;
constexpr std::uint32_t k32Max = 0xFFFFFFFF;
}  // namespace

bool OutputFile::createBeside(const std::string& target, mode_t mode) {
    std::error_code ec;
    buf_.clear();
    pos_ = 0;
    err_ = 0;
    if (!file_.open(target, ec, mode)) {
        err_ = ec.value() ? ec.value() : EIO;
        return false;
    }
    buf_.reserve(kBufSize);
    return true;
}

bool OutputFile::flush() {
    if (buf_.empty()) return true;
    std::error_code ec;
    if (!file_.write(buf_.data(), buf_.size(), ec)) {
        if (!err_) err_ = ec.value() ? ec.value() : EIO;
        return false;
    }
    buf_.clear();
    return true;
}

bool OutputFile::write(const void* data, std::size_t n) {
    if (err_ || !file_.isOpen()) return false;
    auto* p = static_cast<const unsigned char*>(data);
    pos_ += n;
    if (buf_.size() + n > kBufSize) {
        if (!flush()) return false;
        if (n >= kBufSize) {
            std::error_code ec;
            if (!file_.write(p, n, ec)) {
                err_ = ec.value() ? ec.value() : EIO;
                return false;
            }
            return true;
        }
    }
    buf_.insert(buf_.end(), p, p + n);
    return true;
}

bool OutputFile::patch(std::uint64_t offset, const void* data, std::size_t n) {
    if (err_ || !flush()) return false;
    if (::pwrite(file_.fd(), data, n, off_t(offset)) != ssize_t(n)) {
        err_ = errno ? errno : EIO;
        return false;
    }
    return true;
}

bool OutputFile::copyFrom(const InputFile& in, std::uint64_t offset, std::uint64_t length,
                          const std::atomic<bool>& abort, bool& aborted) {
    aborted = false;
    if (err_ || !flush()) return false;
    constexpr std::uint64_t kBlock = 64ull << 20;
    loff_t at = loff_t(offset);
    bool kernel = true;
    std::vector<unsigned char> buf;
    while (length > 0) {
        if (abort.load()) {
            aborted = true;
            return false;
        }
        const std::size_t want = std::size_t(std::min(length, kBlock));
        ssize_t n = -1;
        if (kernel) {
            // The output offset is the file's own, so later writes follow on.
            n = ::copy_file_range(in.fd(), &at, file_.fd(), nullptr, want, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                          errno == EBADF || errno == EPERM)) {
                kernel = false;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
        } else {
            buf.resize(std::min<std::size_t>(want, 1u << 20));
            const std::size_t chunk = std::min(want, buf.size());
            if (!in.read(std::uint64_t(at), buf.data(), chunk)) {
                err_ = EIO;
                return false;
            }
            std::error_code ec;
            if (!file_.write(buf.data(), chunk, ec)) {
                err_ = ec.value() ? ec.value() : EIO;
                return false;
            }
            n = ssize_t(chunk);
            at += loff_t(chunk);
        }
        if (n <= 0) {
            // 0: the source ended before the bytes it should hold.
            err_ = n < 0 ? errno : 0;
            return false;
        }
        length -= std::uint64_t(n);
        pos_ += std::uint64_t(n);
    }
    return true;
}

bool OutputFile::commit() {
    if (err_ || !flush()) return false;
    std::error_code ec;
    if (!file_.commit(ec)) {
        err_ = ec.value() ? ec.value() : EIO;
        file_.discard();
        return false;
    }
    return true;
}

bool OutputFile::rewind(std::uint64_t offset) {
    if (err_ || !flush()) return false;
    if (::ftruncate(file_.fd(), off_t(offset)) != 0 || ::lseek(file_.fd(), off_t(offset), SEEK_SET) < 0) {
        err_ = errno;
        return false;
    }
    pos_ = offset;
    return true;
}

// The extra fields both headers of an entry carry: the modification time
// (extended timestamp) and, for AES entries, the encryption's own record.
static void putTimeAndAesFields(std::string& x, const ZipEntry& e) {
    if (hasExtendedTime(e.mtime)) {  // 1901 to 2106; the DOS date alone holds the rest
        put16(x, 0x5455);
        put16(x, 5);
        x.push_back(1);
        put32(x, std::uint32_t(e.mtime));
    }
    if (e.method == kMethodAes) {
        put16(x, 0x9901);
        put16(x, 7);
        put16(x, e.aesVersion);
        x.push_back('A');
        x.push_back('E');
        x.push_back(char(e.aesStrength));
        put16(x, e.aesMethod);
    }
}

// A copied entry's own fields, with the zip64 field left to the writer; empty when
// they would no longer fit.
static std::string keptFields(const std::string& extra, std::size_t room) {
    std::string kept = withoutExtraField(extra, 0x0001);
    return kept.size() <= room ? kept : std::string();
}

std::string ZipWriter::localExtra(const ZipEntry& e, bool zip64) const {
    std::string x;
    if (zip64) {
        put16(x, 0x0001);
        put16(x, 16);
        put64(x, e.size);
        put64(x, e.packedSize);
    }
    if (e.verbatim) x += keptFields(e.localExtra, 0xFFFF - x.size());
    else putTimeAndAesFields(x, e);
    return x;
}

bool ZipWriter::copyPrefix(const InputFile& in, const ZipDirectory& dir, const std::atomic<bool>& abort,
                           bool& aborted) {
    aborted = false;
    return out_.copyFrom(in, 0, prefixLength(dir), abort, aborted);
}

bool ZipWriter::beginEntry(ZipEntry& e, bool mayNeedZip64, bool sizesKnown) {
    headerAt_ = out_.position();
    e.localOffset = headerAt_;
    zip64Local_ = mayNeedZip64 || (sizesKnown && (e.size >= k32Max || e.packedSize >= k32Max));
    sizesKnown_ = sizesKnown;
    declaredPacked_ = e.packedSize;
    std::string extra = localExtra(e, zip64Local_);
    std::string h;
    put32(h, kSigLocal);
    put16(h, e.versionNeeded);
    put16(h, e.flags);
    put16(h, e.method);
    put16(h, e.dosTime);
    put16(h, e.dosDate);
    put32(h, e.crc);
    put32(h, zip64Local_ ? k32Max : std::uint32_t(e.packedSize));
    put32(h, zip64Local_ ? k32Max : std::uint32_t(e.size));
    put16(h, std::uint16_t(e.rawName.size()));
    put16(h, std::uint16_t(extra.size()));
    h += e.rawName;
    h += extra;
    dataAt_ = headerAt_ + h.size();
    return out_.write(h);
}

bool ZipWriter::endEntry(ZipEntry& e) {
    std::uint64_t end = out_.position();
    e.packedSize = end - dataAt_;
    if (!zip64Local_ && (e.packedSize >= k32Max || e.size >= k32Max)) {
        return false;  // the caller predicted the sizes wrongly; cannot happen for files read by size
    }
    if (sizesKnown_ && e.packedSize == declaredPacked_) return writeDescriptor(e);
    unsigned char fix[12];
    std::string f;
    put32(f, e.crc);
    put32(f, zip64Local_ ? k32Max : std::uint32_t(e.packedSize));
    put32(f, zip64Local_ ? k32Max : std::uint32_t(e.size));
    std::memcpy(fix, f.data(), 12);
    if (!out_.patch(headerAt_ + 14, fix, 12)) return false;
    if (zip64Local_) {
        std::string z;
        put64(z, e.size);
        put64(z, e.packedSize);
        // The zip64 field is the first extra field: after header, name, id and length.
        if (!out_.patch(headerAt_ + 30 + e.rawName.size() + 4, z.data(), 16)) return false;
    }
    return writeDescriptor(e);
}

bool ZipWriter::writeDescriptor(ZipEntry& e) {
    if (e.flags & kFlagDescriptor) {
        std::string d;
        put32(d, kSigDescriptor);
        put32(d, e.crc);
        if (zip64Local_) {
            put64(d, e.packedSize);
            put64(d, e.size);
        } else {
            put32(d, std::uint32_t(e.packedSize));
            put32(d, std::uint32_t(e.size));
        }
        if (!out_.write(d)) return false;
    }
    entries_.push_back(e);
    return true;
}

bool ZipWriter::copyEntry(const InputFile& in, const ZipDirectory& dir, const ZipEntry& src,
                          const std::atomic<bool>& abort, bool& aborted) {
    aborted = false;
    std::uint64_t dataStart = 0;
    if (!localDataStart(in, dir, src, dataStart)) return false;
    if (dataStart + src.packedSize > in.size()) return false;
    ZipEntry e = src;
    e.verbatim = true;
    {
        unsigned char h[30];
        std::uint64_t at = src.localOffset + std::uint64_t(dir.bias);
        if (!in.read(at, h, 30)) return false;
        e.localExtra.assign(rd16(h + 28), '\0');
        if (!e.localExtra.empty() && !in.read(at + 30 + rd16(h + 26), e.localExtra.data(), e.localExtra.size()))
            return false;
    }
    // Keep the descriptor flag only where the traditional cipher's check byte needs it.
    if (!(e.flags & kFlagEncrypted) || e.method == kMethodAes) e.flags &= std::uint16_t(~kFlagDescriptor);
    std::uint64_t packed = src.packedSize;
    bool zip64 = src.size >= k32Max || packed >= k32Max;
    e.packedSize = packed;
    if (!beginEntry(e, zip64, true)) return false;
    std::vector<unsigned char>& buf = copyBuf_;
    if (buf.size() < (1u << 20))
        buf.resize(std::size_t(std::min<std::uint64_t>(1u << 20, std::max<std::uint64_t>(packed, 4096))));
    std::uint64_t pos = dataStart, left = packed;
    while (left > 0) {
        if (abort.load()) {
            aborted = true;
            return false;
        }
        std::size_t n = std::size_t(std::min<std::uint64_t>(left, buf.size()));
        if (!in.read(pos, buf.data(), n)) return false;
        if (!out_.write(buf.data(), n)) return false;
        pos += n;
        left -= n;
    }
    e.size = src.size;
    return endEntry(e);
}

bool ZipWriter::copyEntries(const InputFile& in, const ZipDirectory& dir, const std::vector<std::size_t>& which,
                            const std::atomic<bool>& abort, bool& aborted) {
    aborted = false;
    const std::vector<std::uint64_t> limits = dataLimits(dir);
    const std::uint64_t bias = std::uint64_t(dir.bias);
    // Local headers are read through one window: where entries are small, one read
    // brings the headers of several; a larger entry's header is read alone (reading
    // past it would copy more than a call costs).
    constexpr std::size_t kWindow = 16 * 1024, kSmallRecord = 4 * 1024;
    std::vector<unsigned char> window(kWindow);
    std::uint64_t windowAt = 0, windowLen = 0;
    auto headerAt = [&](std::uint64_t at, std::uint64_t next) -> const unsigned char* {
        if (at < windowAt || at + 30 > windowAt + windowLen) {
            std::uint64_t len = next > at && next - at <= kSmallRecord ? kWindow : 30;
            len = std::min(len, in.size() > at ? in.size() - at : 0);
            if (len < 30 || !in.read(at, window.data(), std::size_t(len))) return nullptr;
            windowAt = at;
            windowLen = len;
        }
        return window.data() + (at - windowAt);
    };
    // Where the entry's whole local record (header, data, descriptor) lies in the
    // source; false when it cannot be copied as it stands.
    auto region = [&](std::size_t i, std::uint64_t& from, std::uint64_t& to) {
        const ZipEntry& e = dir.entries[i];
        if (e.disk != 0 || dir.diskNumber != 0 || limits[i] == 0) return false;
        from = e.localOffset + bias;
        const unsigned char* h = headerAt(from, limits[i] + bias);
        if (!h || rd32(h) != kSigLocal) return false;
        const std::uint64_t dataStart = from + 30 + rd16(h + 26) + rd16(h + 28);
        const std::uint64_t dataEnd = dataStart + e.packedSize, limit = limits[i] + bias;
        if (dataEnd > limit || limit > in.size()) return false;
        const std::uint64_t gap = limit - dataEnd;
        // A descriptor: CRC and both sizes (4 or 8 bytes each), with or without its signature.
        const bool fits = (e.flags & kFlagDescriptor) ? (gap == 12 || gap == 16 || gap == 20 || gap == 24) : gap == 0;
        to = limit;
        return fits;
    };
    entries_.reserve(entries_.size() + which.size());
    std::uint64_t runFrom = 0, runTo = 0;
    auto flushRun = [&]() {
        bool ok = runTo == runFrom || out_.copyFrom(in, runFrom, runTo - runFrom, abort, aborted);
        runFrom = runTo = 0;
        return ok;
    };
    for (std::size_t i : which) {
        std::uint64_t from = 0, to = 0;
        if (!region(i, from, to)) {
            if (!flushRun() || !copyEntry(in, dir, dir.entries[i], abort, aborted)) return false;
            continue;
        }
        if (runTo != from && !flushRun()) return false;
        if (runTo == runFrom) runFrom = runTo = from;
        ZipEntry e = dir.entries[i];
        e.verbatim = true;
        e.localOffset = out_.position() + (runTo - runFrom);
        entries_.push_back(std::move(e));
        runTo = to;
    }
    return flushRun();
}

bool ZipWriter::finish(const std::string& comment) {
    std::uint64_t cdStart = out_.position();
    for (const auto& e : entries_) {
        bool bigSize = e.size >= k32Max, bigPacked = e.packedSize >= k32Max, bigOffset = e.localOffset >= k32Max;
        std::string z;
        if (bigSize || bigPacked || bigOffset) {
            std::string body;
            if (bigSize) put64(body, e.size);
            if (bigPacked) put64(body, e.packedSize);
            if (bigOffset) put64(body, e.localOffset);
            put16(z, 0x0001);
            put16(z, std::uint16_t(body.size()));
            z += body;
        }
        if (e.verbatim) z += keptFields(e.centralExtra, 0xFFFF - z.size());
        else putTimeAndAesFields(z, e);
        std::string c;
        put32(c, kSigCentral);
        put16(c, e.versionMadeBy);
        put16(c, std::max<std::uint16_t>(e.versionNeeded, (bigSize || bigPacked || bigOffset) ? 45 : 0));
        put16(c, e.flags);
        put16(c, e.method);
        put16(c, e.dosTime);
        put16(c, e.dosDate);
        put32(c, e.crc);
        put32(c, bigPacked ? k32Max : std::uint32_t(e.packedSize));
        put32(c, bigSize ? k32Max : std::uint32_t(e.size));
        put16(c, std::uint16_t(e.rawName.size()));
        put16(c, std::uint16_t(z.size()));
        std::string comm = (e.verbatim ? e.rawComment : e.comment).substr(0, 0xFFFF);
        put16(c, std::uint16_t(comm.size()));
        put16(c, 0);  // disk
        put16(c, e.internalAttr);
        put32(c, e.externalAttr);
        put32(c, bigOffset ? k32Max : std::uint32_t(e.localOffset));
        c += e.rawName;
        c += z;
        c += comm;
        if (!out_.write(c)) return false;
    }
    std::uint64_t cdEnd = out_.position();
    std::uint64_t count = entries_.size(), cdSize = cdEnd - cdStart;
    bool zip64 = count >= 0xFFFF || cdSize >= k32Max || cdStart >= k32Max;
    std::string t;
    if (zip64) {
        put32(t, kSigEnd64);
        put64(t, 44);
        put16(t, 0x031E);
        put16(t, 45);
        put32(t, 0);
        put32(t, 0);
        put64(t, count);
        put64(t, count);
        put64(t, cdSize);
        put64(t, cdStart);
        put32(t, kSigEnd64Locator);
        put32(t, 0);
        put64(t, cdEnd);
        put32(t, 1);
    }
    std::string comm = comment.substr(0, 0xFFFF);
    put32(t, kSigEnd);
    put16(t, 0);
    put16(t, 0);
    put16(t, zip64 ? 0xFFFF : std::uint16_t(count));
    put16(t, zip64 ? 0xFFFF : std::uint16_t(count));
    put32(t, zip64 ? k32Max : std::uint32_t(cdSize));
    put32(t, zip64 ? k32Max : std::uint32_t(cdStart));
    put16(t, std::uint16_t(comm.size()));
    t += comm;
    return out_.write(t);
}

}  // namespace quarva::engine
