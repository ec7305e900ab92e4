// add: the old entries kept, the gathered files compressed on every core and
// written in order.

#include "engine/AddCompress.h"
#include "engine/AddGather.h"
#include "engine/EngineOps.h"
#include "engine/NameList.h"
#include "engine/OrderedParallel.h"
#include "engine/Span.h"
#include "engine/ZipCrypto.h"
#include "engine/ZipReader.h"
#include "engine/ZipWriter.h"

#include <platform/FileSystem.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace quarva::engine {

namespace {

struct Encrypter {
    std::unique_ptr<TraditionalCipher> trad;
    std::unique_ptr<AesCipher> aes;
    std::string header;  // written before the data
    bool apply(std::vector<unsigned char>& d) {
        if (trad) trad->encrypt(d.data(), d.size());
        else if (aes) return aes->encrypt(d.data(), d.size());
        return true;
    }
};

}  // namespace

std::int16_t keepEntries(ZipWriter& w, const OutputFile& out, const InputFile& in, const ZipDirectory& dir,
                         const std::vector<std::size_t>& which, bool withPrefix, const std::atomic<bool>& abort) {
    bool aborted = false;
    if ((withPrefix && !w.copyPrefix(in, dir, abort, aborted)) || !w.copyEntries(in, dir, which, abort, aborted)) {
        if (aborted) return kStatusUserAborted;
        if (out.error()) return writeStatus(out.error());
        return kStatusCorrupt;
    }
    return abort ? kStatusUserAborted : kStatusOk;
}

std::int16_t ZipEngine::add(std::int16_t action) {
    abort_ = false;
    if (action < 0 || action > 2) return kStatusConfiguration;
    if (level_ < 0 || level_ > 9) return kStatusConfiguration;
    if (archiveName_.empty()) return kStatusArchiveNotFound;
    Raiser raise(*this);

    // The archive as it is now (none yet, or an empty file, is a new archive).
    InputFile in;
    ZipDirectory dir;
    bool haveOld = false;
    struct stat archiveStat {};
    if (::stat(archiveName_.c_str(), &archiveStat) == 0) {
        if (isReadOnly(archiveStat)) return kStatusAccess;
        if (archiveStat.st_size > 0) {
            if (auto st = in.open(archiveName_)) return st;
            if (auto st = readDirectory(in, dir, false, namesCharset_)) return st;
            haveOld = true;
        }
    } else if (errno != ENOENT) {
        return kStatusAccess;
    }
    std::string archiveAbs = lexicalAbsolute(archiveName_);

    // What to add.
    Gatherer g(recurse_, includeHidden_, savePathInfo_, raise);
    NameList names(names_);
    for (const auto& grp : names.groups())
        for (const auto& l : grp.lines) g.line(l, grp.filters);
    std::vector<Source> sources;
    std::set<std::string> seen;
    std::map<std::string, std::string> byName;  // archive name -> host path
    for (auto& s : g.sources) {
        if (lexicalAbsolute(s.path) == archiveAbs) continue;  // never the archive into itself
        auto it = byName.find(s.archiveName);
        if (it != byName.end()) {
            if (lexicalAbsolute(it->second) == lexicalAbsolute(s.path) || s.isDir) continue;
            return kStatusDuplicateNames;
        }
        byName[s.archiveName] = s.path;
        sources.push_back(std::move(s));
    }

    // Which old entries stay, which sources go in.
    std::unordered_map<std::string_view, std::size_t> oldByName;  // names live in `dir`
    oldByName.reserve(dir.entries.size());
    for (std::size_t i = 0; i < dir.entries.size(); ++i) oldByName[dir.entries[i].name] = i;
    std::vector<bool> replaced(dir.entries.size());
    std::vector<Source> todo;
    for (auto& s : sources) {
        auto it = oldByName.find(s.archiveName);
        bool inArchive = it != oldByName.end();
        if (action == 1 && !inArchive) continue;
        if (action != 0 && inArchive) {
            // Freshen and update replace only what is newer (zip times are 2 s exact).
            if (std::int64_t(s.mtime) <= dir.entries[it->second].mtime + 1) continue;
        }
        if (inArchive) {
            replaced[it->second] = true;
            s.replaces = long(it->second);
        }
        todo.push_back(std::move(s));
    }
    if (todo.empty()) return sources.empty() ? kStatusNoMatches : kStatusOk;

    // A spanned set is built whole in the temporary folder, then laid out on disks.
    bool span = spanning_ && onRemovableDrive(archiveName_);
    std::string buildAt = span ? spanBuildPath("whole") : archiveName_;
    OutputFile out;
    if (!out.createBeside(buildAt)) return writeStatus(out.error());
    ZipWriter w(out);
    {
        std::vector<std::size_t> kept;
        for (std::size_t i = 0; i < dir.entries.size(); ++i)
            if (!replaced[i]) kept.push_back(i);
        if (auto st = keepEntries(w, out, in, dir, kept, haveOld && !span, abort_)) return st;
    }

    unsigned threads = threads_ > 0 ? unsigned(threads_) : std::max(1u, std::thread::hardware_concurrency());
    int level = level_;
    std::int16_t status = kStatusOk;
    std::vector<std::string> added;
    mode_t um = ::umask(0);
    ::umask(um);

    auto makeEntry = [&](const Source& s) {
        ZipEntry e;
        e.name = s.archiveName;
        e.rawName = s.archiveName;
        bool ascii =
            std::all_of(e.name.begin(), e.name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        e.flags = ascii ? 0 : kFlagUtf8;
        e.versionMadeBy = (3 << 8) | 63;
        e.versionNeeded = s.isDir ? 10 : 20;
        e.mtime = s.mtime;
        unixToDos(e.mtime, e.dosDate, e.dosTime);
        std::uint32_t mode = s.mode;
        e.externalAttr = (mode << 16) | (s.isDir ? 0x10 : 0) | ((mode & 0200) ? 0 : 0x01);
        return e;
    };

    // Sets up encryption for an entry; `checkFromTime` uses the time check byte.
    auto startEncryption = [&](ZipEntry& e, Encrypter& enc, std::uint32_t crc, bool checkFromTime) -> bool {
        if (password_.empty()) return true;
        e.flags |= kFlagEncrypted;
        if (aes256_) {
            e.aesMethod = e.method;
            e.method = kMethodAes;
            e.aesStrength = 3;
            e.aesVersion = 2;
            e.versionNeeded = 51;
            unsigned char salt[16], verifier[2];
            if (!randomFill(salt, 16)) return false;
            enc.aes = AesCipher::create(password_, 3, salt, verifier);
            if (!enc.aes) return false;
            enc.header.assign(reinterpret_cast<char*>(salt), 16);
            enc.header.push_back(char(verifier[0]));
            enc.header.push_back(char(verifier[1]));
            return true;
        }
        unsigned char head[12];
        if (!randomFill(head, 11)) return false;
        if (checkFromTime) e.flags |= kFlagDescriptor;
        head[11] = checkFromTime ? static_cast<unsigned char>(e.dosTime >> 8) : static_cast<unsigned char>(crc >> 24);
        enc.trad = std::make_unique<TraditionalCipher>(password_);
        enc.trad->encrypt(head, 12);
        enc.header.assign(reinterpret_cast<char*>(head), 12);
        return true;
    };
    auto finishEncryption = [&](ZipEntry& e, Encrypter& enc) -> bool {
        if (enc.aes) {
            unsigned char code[kAesAuthLength];
            if (!enc.aes->finish(code) || !w.writeData(code, kAesAuthLength)) return false;
            e.crc = 0;  // AE-2 stores no CRC
        }
        return true;
    };
    std::uint64_t handled = 0;
    // Old entries whose replacement could not be read: they stay in the archive.
    std::vector<std::size_t> keepOld;
    auto unreadable = [&](const Source& s) {
        raise.skipped(s.path, std::int16_t(SkipReason::CannotRead));
        if (s.replaces >= 0) keepOld.push_back(std::size_t(s.replaces));
    };
    auto report = [&](const ZipEntry& e, const Source& s) {
        handled += e.size;
        raise.record(EventId::Processed, makeRecord(e, true));
        added.push_back(s.path);
    };

    std::size_t i = 0;
    while (i < todo.size() && status == kStatusOk) {
        if (abort_) {
            status = kStatusUserAborted;
            break;
        }
        const Source& big = todo[i];
        if (!big.isDir && !big.isLink && big.size > kWholeFileLimit) {
            // A large file: its chunks are compressed side by side.
            std::uint64_t size = big.size;
            std::size_t chunks = std::size_t((size + kChunk - 1) / kChunk);
            ZipEntry e = makeEntry(big);
            e.method = level == 0 ? kMethodStored : kMethodDeflate;
            e.size = size;
            Encrypter enc;
            std::uint64_t entryStart = out.position();
            bool begun = false;
            std::uint32_t crc = 0;
            raise.record(EventId::Starting, makeRecord(e, false));
            bool ok = orderedParallel<Piece>(
                chunks, threads, threads * 2,
                [&](std::size_t k) { return abort_ ? failedPiece(EINTR) : compressChunk(big, k, chunks, level); },
                [&](std::size_t k, Piece& p) -> bool {
                    if (abort_) return false;
                    if (!p.ok) return false;
                    if (!begun) {
                        if (!startEncryption(e, enc, 0, true)) return false;
                        if (!w.beginEntry(e, size >= 0xFFFF0000ull)) return false;
                        if (!w.writeData(enc.header.data(), enc.header.size())) return false;
                        begun = true;
                    }
                    crc = k == 0 ? p.crc : std::uint32_t(crc32_combine(crc, p.crc, z_off_t(p.rawSize)));
                    if (!enc.apply(p.data) || !w.writeData(p.data.data(), p.data.size())) return false;
                    EntryRecord pr = makeRecord(e, false);
                    std::uint64_t done = std::min<std::uint64_t>(size, std::uint64_t(k + 1) * kChunk);
                    pr.done = std::int32_t(std::min<std::uint64_t>(done, INT32_MAX));
                    pr.percent = std::int16_t(done * 100 / size);
                    raise.record(EventId::Progress, pr);
                    return true;
                });
            if (ok) {
                e.crc = crc;
                ok = finishEncryption(e, enc) && w.endEntry(e);
            }
            if (!ok) {
                if (abort_) {
                    status = kStatusUserAborted;
                    break;
                }
                if (out.error()) {
                    status = writeStatus(out.error());
                    break;
                }
                if (!out.rewind(entryStart)) {
                    status = writeStatus(out.error());
                    break;
                }
                unreadable(big);
            } else {
                report(e, big);
            }
            ++i;
            continue;
        }
        // A run of small files: one worker per file.
        std::size_t j = i;
        while (j < todo.size() && (todo[j].isDir || todo[j].isLink || todo[j].size <= kWholeFileLimit)) ++j;
        orderedParallel<Piece>(
            j - i, threads, threads * 4,
            [&](std::size_t k) -> Piece {
                const Source& s = todo[i + k];
                if (abort_) return failedPiece(EINTR);
                if (s.isDir) return Piece{};
                return compressWhole(s, level);
            },
            [&](std::size_t k, Piece& p) -> bool {
                const Source& s = todo[i + k];
                if (abort_) {
                    status = kStatusUserAborted;
                    return false;
                }
                if (!p.ok) {
                    unreadable(s);
                    return true;
                }
                ZipEntry e = makeEntry(s);
                e.method = s.isDir ? kMethodStored : p.method;
                e.crc = p.crc;
                e.size = p.rawSize;
                if (!s.isDir) raise.record(EventId::Starting, makeRecord(e, false));
                Encrypter enc;
                if (!s.isDir && !startEncryption(e, enc, p.crc, false)) {
                    status = kStatusUnexpected;
                    return false;
                }
                // Everything is known up front: the local header is written once.
                if (enc.aes) e.crc = 0;  // AE-2 stores no CRC
                e.packedSize = enc.header.size() + p.data.size() + (enc.aes ? kAesAuthLength : 0);
                bool ok = w.beginEntry(e, false, true) && w.writeData(enc.header.data(), enc.header.size()) &&
                          enc.apply(p.data) && w.writeData(p.data.data(), p.data.size()) && finishEncryption(e, enc) &&
                          w.endEntry(e);
                if (!ok) {
                    status = out.error() ? writeStatus(out.error()) : kStatusUnexpected;
                    return false;
                }
                report(e, s);
                return true;
            });
        i = j;
    }
    if (status == kStatusOk && !keepOld.empty()) status = keepEntries(w, out, in, dir, keepOld, false, abort_);
    if (status == kStatusOk && abort_) status = kStatusUserAborted;
    if (status != kStatusOk) return status;  // `out` removes the temporary file
    if (!w.finish(dir.rawComment)) return writeStatus(out.error());
    if (span) {
        const std::string& whole = buildAt;
        if (!out.commit()) return writeStatus(out.error());
        in.close();
        std::int16_t st = writeSpannedSet(raise, whole, archiveName_);
        ::unlink(whole.c_str());
        if (st) return st;
    } else if (!out.commit()) {
        return writeStatus(out.error());
    }
    raise.finished(handled);
    if (deleteAfterAdding_) {
        for (auto& p : added) {
            struct stat st {};
            if (::lstat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(p.c_str());
        }
    }
    return kStatusOk;
}

}  // namespace quarva::engine
