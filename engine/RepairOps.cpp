// repair: rebuild an archive from its local headers.

#include "engine/EngineOps.h"
#include "engine/LegacyNames.h"
#include "engine/ZipReader.h"
#include "engine/ZipWriter.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace quarva::engine {

namespace {

constexpr std::size_t kBlock = 256 * 1024;

struct LocalEntry {
    ZipEntry e;
    std::uint64_t header = 0, dataStart = 0;
    bool sizesKnown = false;
};

// The central form of a local header's extra fields: the extended timestamp keeps
// only the modification time there; the zip64 field is left to the writer.
std::string centralFromLocal(const std::string& local) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(local.data());
    for (std::size_t i = 0; i + 4 <= local.size();) {
        std::uint16_t id = rd16(p + i), len = rd16(p + i + 2);
        if (i + 4 + len > local.size()) break;
        if (id == 0x5455 && len >= 1) {
            bool hasTime = (p[i + 4] & 1) && len >= 5;
            put16(out, id);
            put16(out, hasTime ? 5 : 1);
            out.append(local, i + 4, hasTime ? 5 : 1);
        } else if (id != 0x0001) {
            out.append(local, i, 4 + len);
        }
        i += 4 + len;
    }
    return out;
}

// Directory records that are still in the file (a damaged directory often keeps
// most of them), by name: they hold what local headers do not (attributes, the
// host, comments).
std::multimap<std::string, ZipEntry> directoryRecords(const InputFile& f) {
    std::multimap<std::string, ZipEntry> found;
    std::vector<unsigned char> scan(kBlock + 3);
    for (std::uint64_t pos = 0; pos + 46 <= f.size();) {
        std::size_t n = std::size_t(std::min<std::uint64_t>(scan.size(), f.size() - pos));
        if (!f.read(pos, scan.data(), n)) break;
        for (std::size_t k = 0; k + 4 <= n; ++k) {
            if (scan[k] != 'P' || scan[k + 1] != 'K' || scan[k + 2] != 1 || scan[k + 3] != 2) continue;
            unsigned char c[46];
            std::uint64_t at = pos + k;
            if (!f.read(at, c, 46)) continue;
            std::size_t nameLen = rd16(c + 28), extraLen = rd16(c + 30), commentLen = rd16(c + 32);
            std::string rest(nameLen + extraLen + commentLen, '\0');
            if (nameLen == 0 || !f.read(at + 46, rest.data(), rest.size())) continue;
            ZipEntry e;
            e.versionMadeBy = rd16(c + 4);
            e.flags = rd16(c + 8);
            e.internalAttr = rd16(c + 36);
            e.externalAttr = rd32(c + 38);
            e.localOffset = rd32(c + 42);
            e.rawName = rest.substr(0, nameLen);
            e.centralExtra = withoutExtraField(rest.substr(nameLen, extraLen), 0x0001);
            e.rawComment = rest.substr(nameLen + extraLen);
            bool utf8 = (e.flags & kFlagUtf8) != 0 || (e.versionMadeBy >> 8) == 3;
            e.comment = utf8 && isValidUtf8(e.rawComment) ? e.rawComment : cp437ToUtf8(e.rawComment);
            found.emplace(e.rawName, std::move(e));
        }
        if (n < scan.size()) break;
        pos += n - 3;
    }
    return found;
}

// Takes over what a directory record of the same name knows; with several, the one
// whose offset (before any prefix) lies closest below the header.
void adoptRecord(const std::multimap<std::string, ZipEntry>& records, std::uint64_t at, ZipEntry& e) {
    auto range = records.equal_range(e.rawName);
    const ZipEntry* best = nullptr;
    for (auto it = range.first; it != range.second; ++it) {
        const ZipEntry& c = it->second;
        if (c.localOffset > at) continue;
        if (!best || c.localOffset > best->localOffset) best = &c;
    }
    if (!best) return;
    e.versionMadeBy = best->versionMadeBy;
    e.internalAttr = best->internalAttr;
    e.externalAttr = best->externalAttr;
    e.centralExtra = best->centralExtra;
    e.rawComment = best->rawComment;
    e.comment = best->comment;
}

// A program in front of the archive (a self-extractor): executable formats and scripts.
bool looksLikeProgram(const InputFile& f) {
    unsigned char m[4];
    if (f.size() < 4 || !f.read(0, m, 4)) return false;
    return (m[0] == 0x7F && m[1] == 'E' && m[2] == 'L' && m[3] == 'F') || (m[0] == 'M' && m[1] == 'Z') ||
           (m[0] == '#' && m[1] == '!');
}

bool readLocal(const InputFile& f, std::uint64_t at, LocalEntry& le);

// The first readable local header at or after `from`; f.size() when there is none.
std::uint64_t firstLocalHeader(const InputFile& f, std::uint64_t from) {
    std::vector<unsigned char> scan(kBlock + 3);
    for (std::uint64_t pos = from; pos + 30 <= f.size();) {
        std::size_t n = std::size_t(std::min<std::uint64_t>(scan.size(), f.size() - pos));
        if (!f.read(pos, scan.data(), n)) break;
        for (std::size_t k = 0; k + 4 <= n; ++k) {
            if (scan[k] != 'P' || scan[k + 1] != 'K' || scan[k + 2] != 3 || scan[k + 3] != 4) continue;
            LocalEntry le;
            if (readLocal(f, pos + k, le)) return pos + k;
        }
        if (n < scan.size()) break;
        pos += n - 3;
    }
    return f.size();
}

bool readLocal(const InputFile& f, std::uint64_t at, LocalEntry& le) {
    unsigned char h[30];
    if (!f.read(at, h, 30) || rd32(h) != kSigLocal) return false;
    ZipEntry& e = le.e;
    e.versionNeeded = rd16(h + 4);
    e.flags = rd16(h + 6);
    e.method = rd16(h + 8);
    e.dosTime = rd16(h + 10);
    e.dosDate = rd16(h + 12);
    e.crc = rd32(h + 14);
    e.packedSize = rd32(h + 18);
    e.size = rd32(h + 22);
    std::size_t nameLen = rd16(h + 26), extraLen = rd16(h + 28);
    if (nameLen == 0) return false;
    std::string name(nameLen, '\0'), extra(extraLen, '\0');
    if (!f.read(at + 30, name.data(), nameLen) || (extraLen && !f.read(at + 30 + nameLen, extra.data(), extraLen)))
        return false;
    e.rawName = name;
    e.name = ((e.flags & kFlagUtf8) || isValidUtf8(name)) ? name : legacyNameToUtf8(name);
    e.mtime = dosToUnix(e.dosDate, e.dosTime);
    if (!parseExtra(extra, e, false, e.size == 0xFFFFFFFF, e.packedSize == 0xFFFFFFFF, false, false)) return false;
    // Until a directory record says more: made by a DOS-like host, so that no Unix
    // mode (which a local header does not hold) is claimed.
    e.versionMadeBy = 20;
    e.externalAttr = e.name.size() && e.name.back() == '/' ? 0x10 : 0;
    e.localExtra = extra;
    e.centralExtra = centralFromLocal(extra);
    le.header = at;
    le.dataStart = at + 30 + nameLen + extraLen;
    le.sizesKnown = !(e.flags & kFlagDescriptor) || e.packedSize != 0;
    return le.dataStart <= f.size();
}

// Inflates from `start` (at most up to `end`), feeding output to `out`; reports the
// compressed bytes used and whether the stream ended properly.
bool inflateFrom(const InputFile& f, std::uint64_t start, std::uint64_t end, std::uint64_t& consumed,
                 std::uint64_t& produced, std::uint32_t& crc, const std::atomic<bool>& abort,
                 const std::function<bool(const unsigned char*, std::size_t)>& out, bool& aborted) {
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return false;
    std::vector<unsigned char> in(kBlock), buf(kBlock);
    std::uint64_t pos = start;
    consumed = produced = 0;
    crc = 0;
    bool ended = false;
    while (!ended && pos < end) {
        if (abort.load()) {
            aborted = true;
            break;
        }
        std::size_t n = std::size_t(std::min<std::uint64_t>(kBlock, end - pos));
        if (!f.read(pos, in.data(), n)) break;
        zs.next_in = in.data();
        zs.avail_in = uInt(n);
        bool error = false;
        do {
            zs.next_out = buf.data();
            zs.avail_out = uInt(buf.size());
            int r = inflate(&zs, Z_NO_FLUSH);
            std::size_t got = buf.size() - zs.avail_out;
            if (got) {
                crc = std::uint32_t(crc32_z(crc, buf.data(), got));
                produced += got;
                if (out && !out(buf.data(), got)) error = true;
            }
            if (r == Z_STREAM_END) {
                ended = true;
                break;
            }
            if (r != Z_OK && r != Z_BUF_ERROR) {
                error = true;
                break;
            }
            if (r == Z_BUF_ERROR) break;
        } while (zs.avail_in > 0 || zs.avail_out == 0);
        pos += n - zs.avail_in;
        if (error) break;
    }
    consumed = pos - start;
    inflateEnd(&zs);
    return ended;
}

}  // namespace

std::int16_t ZipEngine::repair(std::int16_t mode) {
    abort_ = false;
    if (mode != 0 && mode != 1) return kStatusConfiguration;
    InputFile f;
    if (auto st = f.open(archiveName_)) return st;
    if (f.size() == 0) return kStatusZeroLength;
    struct stat archiveStat {};
    ::stat(archiveName_.c_str(), &archiveStat);
    if (isReadOnly(archiveStat)) return kStatusAccess;  // the aggressive attempt clears the flag first
    // The archive's comment survives when its end record can still be read.
    ZipDirectory old;
    std::string comment;
    bool directoryReads = readDirectory(f, old) == kStatusOk;  // the comment is filled in even when not
    comment = old.rawComment;
    std::multimap<std::string, ZipEntry> records = directoryRecords(f);

    OutputFile out;
    if (!out.createBeside(archiveName_)) return writeStatus(out.error());
    ZipWriter w(out);
    // A program in front of the archive stays in front of it; the scan starts after it
    // (a program may well hold the bytes of a header signature).
    ZipDirectory front;
    front.fileSize = f.size();
    if (directoryReads) front.centralOffset = prefixLength(old);
    else if (looksLikeProgram(f)) front.centralOffset = firstLocalHeader(f, 0);
    bool prefixAborted = false;
    if (!w.copyPrefix(f, front, abort_, prefixAborted))
        return prefixAborted ? kStatusUserAborted : out.error() ? writeStatus(out.error()) : kStatusUnexpectedEof;
    std::size_t kept = 0;
    std::vector<unsigned char> scan(kBlock + 3);
    std::uint64_t pos = out.position();
    while (pos + 30 <= f.size()) {
        if (abort_) return kStatusUserAborted;
        // Find the next local header signature.
        std::size_t n = std::size_t(std::min<std::uint64_t>(scan.size(), f.size() - pos));
        if (!f.read(pos, scan.data(), n)) break;
        std::size_t hit = n;
        for (std::size_t k = 0; k + 4 <= n; ++k)
            if (scan[k] == 'P' && scan[k + 1] == 'K' && scan[k + 2] == 3 && scan[k + 3] == 4) {
                hit = k;
                break;
            }
        if (hit == n) {
            pos += n > 3 ? n - 3 : 1;
            continue;
        }
        std::uint64_t at = pos + hit;
        LocalEntry le;
        if (!readLocal(f, at, le)) {
            pos = at + 4;
            continue;
        }
        ZipEntry& e = le.e;
        adoptRecord(records, at, e);
        bool encrypted = (e.flags & kFlagEncrypted) != 0;
        std::uint16_t method = e.realMethod();
        std::uint64_t dataEnd = 0;
        bool intact = false;
        bool aborted = false;
        if (!encrypted && method == kMethodDeflate) {
            std::uint64_t consumed = 0, produced = 0;
            std::uint32_t crc = 0;
            std::uint64_t limit =
                le.sizesKnown ? std::min<std::uint64_t>(f.size(), le.dataStart + e.packedSize) : f.size();
            bool ended = inflateFrom(f, le.dataStart, limit, consumed, produced, crc, abort_, nullptr, aborted);
            if (aborted) return kStatusUserAborted;
            dataEnd = le.dataStart + consumed;
            if (ended && !le.sizesKnown) {
                // Sizes and CRC follow in a descriptor (with or without its signature).
                unsigned char d[24];
                std::size_t have = std::size_t(std::min<std::uint64_t>(24, f.size() - dataEnd));
                if (have >= 12 && f.read(dataEnd, d, have)) {
                    std::size_t off = rd32(d) == kSigDescriptor ? 4 : 0;
                    if (have >= off + 12) {
                        e.crc = rd32(d + off);
                        e.packedSize = consumed;
                        e.size = produced;
                    }
                }
            }
            intact = ended && crc == e.crc && produced == e.size && consumed == e.packedSize;
            if (!intact && mode == 1 && produced > 0) {
                // Salvage: store what could be inflated, recompressed, under the entry's name.
                ZipEntry s = e;
                s.flags &= std::uint16_t(~kFlagDescriptor);
                s.method = kMethodDeflate;
                s.versionNeeded = 20;
                s.verbatim = true;  // its own extra fields and comment, sizes aside
                std::uint64_t salvageStart = out.position();
                if (!w.beginEntry(s, produced >= 0xFFFF0000ull)) return writeStatus(out.error());
                z_stream zs{};
                deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
                std::vector<unsigned char> zbuf(kBlock);
                bool wok = true;
                auto pump = [&](const unsigned char* d, std::size_t len, int flush) {
                    zs.next_in = const_cast<unsigned char*>(d);
                    zs.avail_in = uInt(len);
                    do {
                        zs.next_out = zbuf.data();
                        zs.avail_out = uInt(zbuf.size());
                        deflate(&zs, flush);
                        std::size_t got = zbuf.size() - zs.avail_out;
                        if (got && !w.writeData(zbuf.data(), got)) wok = false;
                    } while (zs.avail_out == 0);
                    return wok;
                };
                std::uint64_t c2 = 0, p2 = 0;
                std::uint32_t crc2 = 0;
                inflateFrom(
                    f, le.dataStart, limit, c2, p2, crc2, abort_,
                    [&](const unsigned char* d, std::size_t len) { return pump(d, len, Z_NO_FLUSH); }, aborted);
                pump(nullptr, 0, Z_FINISH);
                deflateEnd(&zs);
                if (aborted) return kStatusUserAborted;
                s.crc = crc2;
                s.size = p2;
                if (!wok || !w.endEntry(s)) {
                    if (out.error()) return writeStatus(out.error());
                    out.rewind(salvageStart);
                } else {
                    ++kept;
                }
                pos = std::max(dataEnd, at + 4);
                continue;
            }
        } else if (le.sizesKnown && dataEnd == 0) {
            dataEnd = le.dataStart + e.packedSize;
            if (dataEnd > f.size()) {
                dataEnd = 0;
            } else if (!encrypted && method == kMethodStored) {
                std::vector<unsigned char> buf(kBlock);
                std::uint32_t crc = 0;
                for (std::uint64_t p = le.dataStart; p < dataEnd;) {
                    std::size_t m = std::size_t(std::min<std::uint64_t>(kBlock, dataEnd - p));
                    if (!f.read(p, buf.data(), m)) break;
                    crc = std::uint32_t(crc32_z(crc, buf.data(), m));
                    p += m;
                }
                intact = crc == e.crc && e.size == e.packedSize;
            } else {
                // Encrypted or another method: keep it when what follows its data is
                // another header, a descriptor, the directory, or the end of the file.
                unsigned char sig[4];
                std::uint64_t after = dataEnd;
                if ((e.flags & kFlagDescriptor) && f.read(after, sig, 4) && rd32(sig) == kSigDescriptor) after += 16;
                intact =
                    after >= f.size() || (f.read(after, sig, 4) &&
                                          (rd32(sig) == kSigLocal || rd32(sig) == kSigCentral || rd32(sig) == kSigEnd));
            }
        }
        if (intact && dataEnd > 0) {
            // Copy it as it is, through a directory record made from its local header.
            ZipDirectory one;
            one.fileSize = f.size();
            ZipEntry copy = e;
            copy.localOffset = at;
            bool ab = false;
            if (!w.copyEntry(f, one, copy, abort_, ab)) {
                if (ab) return kStatusUserAborted;
                if (out.error()) return writeStatus(out.error());
            } else {
                ++kept;
            }
            pos = dataEnd;
            continue;
        }
        pos = at + 4;
    }
    if (abort_) return kStatusUserAborted;
    if (kept == 0) return kStatusCorrupt;
    if (!w.finish(comment) || !out.commit()) return writeStatus(out.error());
    return kStatusOk;
}

}  // namespace quarva::engine
