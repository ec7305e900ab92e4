// add: gathering the files, compressing them on every core, writing in order.

#include "engine/EngineOps.h"
#include "engine/NameList.h"
#include "engine/OrderedParallel.h"
#include "engine/Span.h"
#include "engine/ZipCrypto.h"
#include "engine/ZipReader.h"
#include "engine/ZipWriter.h"

#include <platform/FileSystem.h>

#include <dirent.h>
#include <fcntl.h>
#include <libdeflate.h>
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
#include <thread>

namespace quarva::engine {

namespace {

namespace fs = std::filesystem;

// Files up to this size are compressed as one buffer by one worker; larger files
// are cut into chunks compressed side by side.
constexpr std::uint64_t kWholeFileLimit = 8ull << 20;
constexpr std::size_t kChunk = 2u << 20;

struct Source {
    std::string path;         // host path
    std::string archiveName;  // "/" separators
    struct stat st {};
    bool isDir = false, isLink = false;
    long replaces = -1;  // index of the old entry it replaces
};

bool hiddenName(const std::string& name) { return !name.empty() && name[0] == '.'; }

std::string lexicalAbsolute(const std::string& p) {
    std::error_code ec;
    fs::path a = fs::absolute(fs::path(p), ec);
    return a.lexically_normal().string();
}

// With `savePath` the path as given: a relative one stays relative (without "./"
// and leading ".." steps), an absolute one loses its root. Otherwise the name alone.
std::string archiveNameFor(const std::string& hostPath, bool savePath) {
    if (!savePath) {
        std::string abs = lexicalAbsolute(hostPath);
        while (abs.size() > 1 && abs.back() == '/') abs.pop_back();
        auto pos = abs.find_last_of('/');
        return pos == std::string::npos ? abs : abs.substr(pos + 1);
    }
    std::string rel;
    for (const auto& part : fs::path(hostPath).lexically_normal()) {
        std::string c = part.string();
        if (c.empty() || c == "/" || c == "." || (c == ".." && rel.empty())) continue;
        if (!rel.empty()) rel += '/';
        rel += c;
    }
    return rel;
}

bool hasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

class Gatherer {
public:
    Gatherer(bool recurse, bool hidden, bool savePath, ZipEngine::Raiser& raise)
        : recurse_(recurse), hidden_(hidden), savePath_(savePath), raise_(raise) {}

    void line(const std::string& text, const std::vector<std::string>& filters) {
        std::string path = text;
        for (char& c : path)
            if (c == '\\') c = '/';
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        auto slash = path.find_last_of('/');
        std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
        if (hasWildcard(last)) {
            std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
            DIR* d = ::opendir(folder.c_str());
            if (!d) return;
            std::vector<std::string> found;
            while (dirent* de = ::readdir(d)) {
                std::string n = de->d_name;
                if (n == "." || n == "..") continue;
                if (wildcardMatch(last, n)) found.push_back(n);
            }
            ::closedir(d);
            std::sort(found.begin(), found.end());
            for (auto& n : found) {
                if (hiddenName(n) && !hidden_) continue;
                std::string p = folder == "/" ? "/" + n : folder + "/" + n;
                struct stat st {};
                if (::lstat(p.c_str(), &st) != 0) continue;
                if (S_ISDIR(st.st_mode)) {
                    if (recurse_) walk(p, filters, true);
                } else {
                    file(p, st, filters, true);
                }
            }
            return;
        }
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            raise_.skipped(text, std::int16_t(SkipReason::CannotRead));
            return;
        }
        if (S_ISDIR(st.st_mode)) walk(path, filters, true);
        else file(path, st, {}, false);
    }

    std::vector<Source> sources;

private:
    void file(const std::string& p, const struct stat& st, const std::vector<std::string>& filters, bool filtered) {
        std::string base = fs::path(p).filename().string();
        if (filtered && !filters.empty()) {
            bool hit = false;
            for (auto& f : filters)
                if (wildcardMatch(f, base)) hit = true;
            if (!hit) return;
        }
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
            if (hidden_) raise_.skipped(p, std::int16_t(SkipReason::NotRegular));
            return;
        }
        Source s;
        s.path = p;
        s.st = st;
        s.isLink = S_ISLNK(st.st_mode);
        s.archiveName = archiveNameFor(p, savePath_);
        sources.push_back(std::move(s));
    }

    void walk(const std::string& folder, const std::vector<std::string>& filters, bool top) {
        if (savePath_ && (recurse_ || top)) {
            struct stat st {};
            if (::lstat(folder.c_str(), &st) == 0 && !archiveNameFor(folder, true).empty()) {
                Source s;
                s.path = folder;
                s.st = st;
                s.isDir = true;
                s.archiveName = archiveNameFor(folder, true) + "/";
                sources.push_back(std::move(s));
            }
        }
        DIR* d = ::opendir(folder.c_str());
        if (!d) {
            raise_.skipped(folder, std::int16_t(SkipReason::CannotRead));
            return;
        }
        std::vector<std::string> names;
        while (dirent* de = ::readdir(d)) {
            std::string n = de->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
        std::sort(names.begin(), names.end());
        for (auto& n : names) {
            if (hiddenName(n) && !hidden_) continue;
            std::string p = folder == "/" ? "/" + n : folder + "/" + n;
            struct stat st {};
            if (::lstat(p.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                if (recurse_) walk(p, filters, false);
            } else {
                file(p, st, filters, true);
            }
        }
    }

    bool recurse_, hidden_, savePath_;
    ZipEngine::Raiser& raise_;
};

// One compressed piece: a whole small file, or one chunk of a large one.
struct Piece {
    bool ok = true;
    int err = 0;
    std::uint32_t crc = 0;
    std::uint64_t rawSize = 0;
    std::uint16_t method = kMethodDeflate;
    std::vector<unsigned char> data;
};

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

Piece failedPiece(int err) {
    Piece p;
    p.ok = false;
    p.err = err;
    return p;
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

Piece compressWhole(const Source& s, int level) {
    Piece p;
    std::vector<unsigned char> raw;
    if (!readAll(s.path, 0, s.isLink ? 0 : std::size_t(s.st.st_size), raw, p.err, s.isLink)) {
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

// One chunk of a large file, compressed on its own; all but the last are made
// joinable so that the chunks form one deflate stream.
Piece compressChunk(const Source& s, std::size_t index, std::size_t chunks, int level) {
    Piece p;
    std::uint64_t size = std::uint64_t(s.st.st_size);
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
            if (auto st = readDirectory(in, dir)) return st;
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
    std::map<std::string, std::size_t> oldByName;
    for (std::size_t i = 0; i < dir.entries.size(); ++i) oldByName[dir.entries[i].name] = i;
    std::vector<bool> replaced(dir.entries.size());
    std::vector<Source> todo;
    for (auto& s : sources) {
        auto it = oldByName.find(s.archiveName);
        bool inArchive = it != oldByName.end();
        if (action == 1 && !inArchive) continue;
        if (action != 0 && inArchive) {
            // Freshen and update replace only what is newer (zip times are 2 s exact).
            if (std::int64_t(s.st.st_mtime) <= dir.entries[it->second].mtime + 1) continue;
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
    if (haveOld && !span) {
        bool aborted = false;
        if (!w.copyPrefix(in, dir, abort_, aborted))
            return aborted ? kStatusUserAborted : out.error() ? writeStatus(out.error()) : kStatusUnexpectedEof;
    }
    for (std::size_t i = 0; i < dir.entries.size(); ++i) {
        if (replaced[i]) continue;
        bool aborted = false;
        if (!w.copyEntry(in, dir, dir.entries[i], abort_, aborted)) {
            if (aborted) return kStatusUserAborted;
            if (out.error()) return writeStatus(out.error());
            return kStatusCorrupt;
        }
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
        e.mtime = s.st.st_mtime;
        unixToDos(e.mtime, e.dosDate, e.dosTime);
        std::uint32_t mode = std::uint32_t(s.st.st_mode);
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
        if (!big.isDir && !big.isLink && std::uint64_t(big.st.st_size) > kWholeFileLimit) {
            // A large file: its chunks are compressed side by side.
            std::uint64_t size = std::uint64_t(big.st.st_size);
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
        while (j < todo.size() &&
               (todo[j].isDir || todo[j].isLink || std::uint64_t(todo[j].st.st_size) <= kWholeFileLimit))
            ++j;
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
    for (std::size_t k : keepOld) {
        if (status != kStatusOk) break;
        bool aborted = false;
        if (!w.copyEntry(in, dir, dir.entries[k], abort_, aborted))
            status = aborted ? kStatusUserAborted : out.error() ? writeStatus(out.error()) : kStatusCorrupt;
    }
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
