#include "engine/Span.h"

#include "engine/ZipWriter.h"

#include <platform/FileSystem.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <vector>

namespace quarva::engine {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxWrongDisk = 3;
// Room left free on every disk for the file system's own bookkeeping.
constexpr std::uint64_t kReserve = 16 * 1024;

bool copyRange(const InputFile& in, std::uint64_t from, std::uint64_t n, OutputFile& out,
               const std::atomic<bool>& abort) {
    std::vector<unsigned char> buf(256 * 1024);
    while (n > 0) {
        if (abort.load()) return false;
        std::size_t k = std::size_t(std::min<std::uint64_t>(n, buf.size()));
        if (!in.read(from, buf.data(), k) || !out.write(buf.data(), k)) return false;
        from += k;
        n -= k;
    }
    return true;
}

// Removes everything on the disk whose root holds `target` (the wipe-disk option).
void eraseDisk(const std::string& target) {
    fs::path root = platform::driveRoot(fs::path(target).parent_path());
    if (platform::driveType(root) != platform::DriveType::Removable) return;  // never a fixed disk
    std::error_code ec;
    for (auto& e : fs::directory_iterator(root, ec)) fs::remove_all(e.path(), ec);
}

std::string fileHead(const std::string& path, std::size_t n) {
    InputFile f;
    if (f.open(path)) return {};
    std::string s(std::size_t(std::min<std::uint64_t>(n, f.size())), '\0');
    if (!f.read(0, s.data(), s.size())) return {};
    return s + "#" + std::to_string(f.size());
}

}  // namespace

bool onRemovableDrive(const std::string& archive) {
    fs::path folder = fs::absolute(fs::path(archive)).parent_path();
    return platform::driveType(folder) == platform::DriveType::Removable;
}

std::string spanBuildPath(const std::string& what) {
    static std::atomic<unsigned> counter{0};
    return (platform::tempFolder() /
            (what + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + ".zip"))
        .string();
}

std::int16_t writeSpannedSet(ZipEngine::Raiser& raise, const std::string& complete, const std::string& target) {
    const std::atomic<bool>& abort = raise.abortFlag();
    InputFile in;
    if (in.open(complete)) return kStatusUnexpected;
    ZipDirectory dir;
    if (readDirectory(in, dir)) return kStatusUnexpected;
    // Local headers must not be cut between disks.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> headers;
    for (const auto& e : dir.entries) {
        std::uint64_t start = 0;
        if (!localDataStart(in, dir, e, start)) return kStatusUnexpected;
        headers.emplace_back(e.localOffset, start);
    }
    std::sort(headers.begin(), headers.end());
    std::uint64_t dataEnd = dir.centralOffset;
    std::string central(dir.centralSize, '\0');
    if (!in.read(dir.centralOffset, central.data(), central.size())) return kStatusUnexpected;
    std::uint64_t tailSize = central.size() + 22 + std::min<std::size_t>(dir.rawComment.size(), 0xFFFF);

    std::vector<std::int64_t> diskBase{-4};  // where each disk's byte 0 lies in the single file
    std::uint64_t pos = 0;
    std::uint32_t disk = 0;
    std::string lastPiece;
    int wrong = 0;
    for (;;) {
        if (abort.load()) return kStatusUserAborted;
        if (disk > 0 && raise.wipeRequested()) eraseDisk(target);
        struct stat st {};
        std::uint64_t existing = ::stat(target.c_str(), &st) == 0 ? std::uint64_t(st.st_size) : 0;
        auto free = platform::freeSpace(fs::path(target).parent_path());
        if (!free) return kStatusAccess;
        std::uint64_t capacity = *free + existing > kReserve ? *free + existing - kReserve : 0;
        std::uint64_t header = disk == 0 ? 4 : 0;
        std::uint64_t avail = capacity > header ? capacity - header : 0;
        std::uint64_t remaining = dataEnd - pos;
        bool last = remaining + tailSize <= avail;
        std::uint64_t take = last ? remaining : std::min(remaining, avail);
        if (!last)
            for (auto& [h0, h1] : headers)
                if (h0 >= pos && h0 < pos + take && h1 > pos + take) take = h0 - pos;
        if (!last && take == 0 && (remaining > 0 || tailSize > avail)) {
            if (disk == 0 || ++wrong >= kMaxWrongDisk) return kStatusDiskFull;  // disks too small for one header
            raise.diskRequest(std::int16_t(disk + 1));
            continue;
        }
        if (disk == 0 && dataEnd + tailSize <= capacity) {
            // It all fits on the first disk: a plain archive, no spanning marker.
            OutputFile whole;
            if (!whole.createBeside(target)) return writeStatus(whole.error());
            if (!copyRange(in, 0, in.size(), whole, abort)) {
                if (abort.load()) return kStatusUserAborted;
                return whole.error() ? writeStatus(whole.error()) : kStatusUnexpected;
            }
            if (!whole.commit()) return writeStatus(whole.error());
            return kStatusOk;
        }
        OutputFile out;
        if (!out.createBeside(target)) return writeStatus(out.error());
        if (disk == 0) {
            std::string marker;
            put32(marker, kSigSpanMarker);
            out.write(marker);
        }
        if (!copyRange(in, pos, take, out, abort)) {
            if (abort.load()) return kStatusUserAborted;
            return out.error() ? writeStatus(out.error()) : kStatusUnexpected;
        }
        if (last) {
            // The directory, with each entry's disk and its offset on that disk.
            std::int64_t base = diskBase.back();
            std::uint64_t cdLocal = std::uint64_t(std::int64_t(dataEnd) - base);
            std::size_t p = 0;
            while (p + 46 <= central.size()) {
                auto* c = reinterpret_cast<unsigned char*>(central.data() + p);
                std::uint64_t g = rd32(c + 42);
                std::uint32_t d = 0;
                // The last disk whose first byte lies at or before the header.
                while (d + 1 < diskBase.size() && std::int64_t(g) >= diskBase[d + 1]) ++d;
                std::uint64_t local = std::uint64_t(std::int64_t(g) - diskBase[d]);
                c[34] = std::uint8_t(d);
                c[35] = std::uint8_t(d >> 8);
                c[42] = std::uint8_t(local);
                c[43] = std::uint8_t(local >> 8);
                c[44] = std::uint8_t(local >> 16);
                c[45] = std::uint8_t(local >> 24);
                p += 46 + rd16(c + 28) + rd16(c + 30) + rd16(c + 32);
            }
            std::string end;
            std::string comment = dir.rawComment.substr(0, 0xFFFF);
            put32(end, kSigEnd);
            put16(end, std::uint16_t(disk));
            put16(end, std::uint16_t(disk));
            put16(end, std::uint16_t(dir.entries.size()));
            put16(end, std::uint16_t(dir.entries.size()));
            put32(end, std::uint32_t(central.size()));
            put32(end, std::uint32_t(cdLocal));
            put16(end, std::uint16_t(comment.size()));
            end += comment;
            if (!out.write(central) || !out.write(end)) return writeStatus(out.error());
        }
        if (!out.commit()) return writeStatus(out.error());
        if (last) return kStatusOk;
        lastPiece = fileHead(target, 4096);
        pos += take;
        diskBase.push_back(std::int64_t(pos));
        ++disk;
        // The next disk; the same disk still in the drive is asked for again.
        wrong = 0;
        for (;;) {
            raise.diskRequest(std::int16_t(disk + 1));
            if (abort.load()) return kStatusUserAborted;
            if (fileHead(target, 4096) != lastPiece) break;
            if (++wrong >= kMaxWrongDisk) return kStatusWrongDisk;
        }
    }
}

std::int16_t askForLastDisk(ZipEngine::Raiser& raise, const std::string& archive) {
    for (int tries = 0; tries < kMaxWrongDisk; ++tries) {
        raise.diskRequest(0);
        if (raise.abortFlag().load()) return kStatusUserAborted;
        InputFile f;
        ZipDirectory d;
        if (f.open(archive) == 0 && readDirectory(f, d, true) == kStatusOk) return kStatusOk;
    }
    return kStatusWrongDisk;
}

std::int16_t joinSpannedSet(ZipEngine::Raiser& raise, const std::string& archive, const ZipDirectory& last,
                            std::string& joined, ZipDirectory& dir) {
    const std::atomic<bool>& abort = raise.abortFlag();
    std::uint32_t disks = last.diskNumber + 1;
    // Keep the last disk's bytes while the others are read.
    std::string lastBytes;
    {
        InputFile f;
        if (auto st = f.open(archive)) return st;
        lastBytes.resize(f.size());
        if (!f.read(0, lastBytes.data(), lastBytes.size())) return kStatusUnexpectedEof;
    }
    std::string path = spanBuildPath("joined");
    OutputFile out;
    if (!out.createBeside(path, 0600)) return writeStatus(out.error());
    std::vector<std::int64_t> base(disks);
    for (std::uint32_t d = 0; d + 1 < disks; ++d) {
        InputFile f;
        bool ok = false;
        for (int tries = 0; tries < kMaxWrongDisk && !ok; ++tries) {
            raise.diskRequest(std::int16_t(d + 1));
            if (abort.load()) return kStatusUserAborted;
            if (f.open(archive) != 0) continue;
            unsigned char sig[4] = {};
            bool marked = f.size() >= 4 && f.read(0, sig, 4) && rd32(sig) == kSigSpanMarker;
            // The first disk carries the marker; the others must at least not be the last disk again.
            ok = d == 0 ? marked
                        : (!marked && fileHead(archive, 4096) !=
                                          lastBytes.substr(0, 4096) + "#" + std::to_string(lastBytes.size()));
        }
        if (!ok) return kStatusWrongDisk;
        std::uint64_t skip = d == 0 ? 4 : 0;
        base[d] = std::int64_t(out.position()) - std::int64_t(skip);
        if (!copyRange(f, skip, f.size() - skip, out, abort))
            return abort.load() ? kStatusUserAborted : writeStatus(out.error());
    }
    base[disks - 1] = std::int64_t(out.position());
    if (!out.write(lastBytes)) return writeStatus(out.error());
    // Keep the joined file under its own name in the temporary folder.
    if (!out.commit()) return writeStatus(out.error());
    joined = path;
    InputFile j;
    if (j.open(joined)) return kStatusUnexpected;
    if (auto st = readDirectory(j, dir, true, raise.namesCharset())) return st;
    for (auto& e : dir.entries) {
        if (e.disk >= disks) return kStatusCorrupt;
        e.localOffset = std::uint64_t(base[e.disk] + std::int64_t(e.localOffset));
    }
    dir.centralOffset = std::uint64_t(dir.centralOffset + std::uint64_t(base[disks - 1]));
    dir.bias = 0;
    dir.diskNumber = 0;
    return kStatusOk;
}

}  // namespace quarva::engine
