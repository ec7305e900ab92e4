// list, test, extract, delete and the archive comment.

#include "engine/EngineOps.h"
#include "engine/NameList.h"
#include "engine/SafePath.h"
#include "engine/Span.h"
#include "engine/ZipReader.h"
#include "engine/ZipWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <set>

namespace quarva::engine {

std::string reportedName(const std::string& name) {
    std::string r = name;
    for (char& c : r)
        if (c == '/') c = '\\';
    return r;
}

namespace {
std::int32_t sat32(std::uint64_t v) { return v > std::uint64_t(INT32_MAX) ? INT32_MAX : std::int32_t(v); }
}  // namespace

EntryRecord makeRecord(const ZipEntry& e, bool complete) {
    EntryRecord r;
    r.name = reportedName(e.name);
    r.size = sat32(e.size);
    r.packedSize = sat32(e.packedSize);
    r.done = complete ? r.size : 0;
    r.attributes = std::int16_t(e.dosAttributes());
    r.modified = modifiedText(e.mtime);
    r.crc = std::int32_t(e.crc);
    r.ratio = e.size == 0 || e.packedSize >= e.size ? 0 : std::int16_t(100 - (e.packedSize * 100) / e.size);
    r.percent = complete ? 100 : 0;
    r.method = std::int16_t(e.realMethod());
    r.disk = std::int16_t(e.disk + 1);
    r.encryption = std::int16_t(e.encryption());
    r.comment = e.comment;
    r.size64 = e.size;
    r.packedSize64 = e.packedSize;
    r.mtime = e.mtime;
    return r;
}

std::int16_t writeStatus(int err) {
    switch (err) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return kStatusDiskFull;
        case EACCES:
        case EPERM:
        case EROFS: return kStatusAccess;
        case ENOMEM: return kStatusNoMemory;
        default: return kStatusUnexpected;
    }
}

namespace {

struct OpenArchive {
    InputFile file;
    ZipDirectory dir;
    std::vector<std::uint64_t> limits;
    std::string joined;  // a spanned set joined into one temporary file
    ~OpenArchive() {
        if (!joined.empty()) ::unlink(joined.c_str());
    }
};

enum class Use { List, Read, Modify };

// Opens the archive for a method. A spanned set can be listed from its last disk;
// reading it asks for the other disks (with spanning on); changing it is refused.
std::int16_t openArchive(const std::string& path, OpenArchive& a, ZipEngine::Raiser& raise, bool spanning, Use use) {
    if (path.empty()) return kStatusArchiveNotFound;
    std::int16_t st = a.file.open(path);
    if (st) return st;
    try {
        st = readDirectory(a.file, a.dir, true);
        if (st == kStatusZeroLength && spanning) {
            unsigned char sig[4];
            if (a.file.size() >= 4 && a.file.read(0, sig, 4) && rd32(sig) == kSigSpanMarker) {
                // The first disk of a set is in the drive: the directory is on the last one.
                a.file.close();
                if ((st = askForLastDisk(raise, path))) return st;
                if ((st = a.file.open(path))) return st;
                st = readDirectory(a.file, a.dir, true);
            }
        }
        if (st) return st;
        if (a.dir.diskNumber != 0) {
            if (use == Use::Modify || (use == Use::Read && !spanning)) return kStatusSpanned;
            if (use == Use::Read) {
                ZipDirectory last = a.dir;
                a.file.close();
                if ((st = joinSpannedSet(raise, path, last, a.joined, a.dir))) return st;
                if ((st = a.file.open(a.joined))) return st;
            }
        }
    } catch (const std::bad_alloc&) {
        return kStatusNoMemory;
    }
    a.limits = dataLimits(a.dir);
    return kStatusOk;
}

}  // namespace

std::int16_t ZipEngine::list() {
    abort_ = false;
    Raiser raise(*this);
    OpenArchive a;
    if (auto st = openArchive(archiveName_, a, raise, spanning_, Use::List)) return st;
    NameList names(names_);
    std::size_t hits = 0;
    for (const auto& e : a.dir.entries) {
        if (abort_) return kStatusUserAborted;
        if (!names.matches(e.name)) continue;
        ++hits;
        raise.record(EventId::Listed, makeRecord(e, true));
    }
    if (hits == 0 && !names.empty()) return kStatusNoMatches;
    return kStatusOk;
}

std::int16_t ZipEngine::diskCount() {
    InputFile f;
    if (f.open(archiveName_)) return 0;
    ZipDirectory dir;
    if (readDirectory(f, dir) == kStatusSpanned) return std::int16_t(dir.diskNumber + 1);
    return 0;
}

std::string ZipEngine::comment() {
    InputFile f;
    ZipDirectory dir;
    if (f.open(archiveName_)) return {};
    readDirectory(f, dir, true);
    return dir.comment;
}

std::int16_t ZipEngine::setComment(const std::string& text) {
    abort_ = false;
    Raiser raise(*this);
    OpenArchive a;
    if (auto st = openArchive(archiveName_, a, raise, spanning_, Use::Modify)) return st;
    if (text.size() > 0xFFFF) return kStatusConfiguration;
    struct stat st {};
    ::stat(archiveName_.c_str(), &st);
    OutputFile out;
    if (!out.createBeside(archiveName_)) return writeStatus(out.error());
    // Everything up to the comment length of the end record stays as it is.
    std::uint64_t keep = a.dir.endOffset;
    {
        // The end record itself (after any zip64 records) holds the comment.
        std::uint64_t endRecord = a.dir.fileSize;
        std::vector<unsigned char> tail;
        std::uint64_t from = a.dir.endOffset;
        std::uint64_t span = std::min<std::uint64_t>(a.dir.fileSize - from, 65535 + 22 + 76);
        tail.resize(span);
        if (!a.file.read(from, tail.data(), span)) return kStatusUnexpectedEof;
        for (std::size_t i = 0; i + 22 <= tail.size(); ++i)
            if (rd32(&tail[i]) == kSigEnd) {
                endRecord = from + i;
                break;
            }
        if (endRecord == a.dir.fileSize) return kStatusCorrupt;
        keep = endRecord + 20;
    }
    std::vector<unsigned char> buf(1 << 20);
    for (std::uint64_t pos = 0; pos < keep;) {
        if (abort_) return kStatusUserAborted;
        std::size_t n = std::size_t(std::min<std::uint64_t>(keep - pos, buf.size()));
        if (!a.file.read(pos, buf.data(), n)) return kStatusUnexpectedEof;
        if (!out.write(buf.data(), n)) return writeStatus(out.error());
        pos += n;
    }
    std::string t;
    put16(t, std::uint16_t(text.size()));
    t += text;
    if (!out.write(t) || !out.commit(archiveName_, st.st_mode)) return writeStatus(out.error());
    return kStatusOk;
}

// ---- test ----

std::int16_t ZipEngine::test() {
    abort_ = false;
    Raiser raise(*this);
    OpenArchive a;
    if (auto st = openArchive(archiveName_, a, raise, spanning_, Use::Read)) return st;
    NameList names(names_);
    std::size_t selected = 0, failed = 0, tested = 0, files = 0;
    std::uint64_t handled = 0;
    for (std::size_t i = 0; i < a.dir.entries.size(); ++i) {
        const ZipEntry& e = a.dir.entries[i];
        if (!names.matches(e.name)) continue;
        ++selected;
        if (abort_) return kStatusUserAborted;
        if (e.isDirectory()) {
            raise.record(EventId::Tested, makeRecord(e, true));
            continue;
        }
        ++files;
        raise.record(EventId::Starting, makeRecord(e, false));
        std::set<std::string> tried;
        DecodeOutcome o;
        for (;;) {
            tried.insert(password_);
            o = decodeEntry(a.file, a.dir, e, a.limits[i], password_, abort_,
                            [](const unsigned char*, std::size_t) { return true; });
            if (o.result != DecodeResult::NeedPassword) break;
            std::string pw;
            if (!raise.passwordRequest(pw) || tried.count(pw)) {
                o.result = DecodeResult::Reason;
                o.reason = std::int16_t(SkipReason::Password);
                break;
            }
        }
        if (o.result == DecodeResult::Aborted) return kStatusUserAborted;
        if (o.result == DecodeResult::Ok) {
            ++tested;
            handled += e.size;
            raise.record(EventId::Tested, makeRecord(e, true));
        } else {
            ++failed;
            if (o.reason == std::int16_t(SkipReason::Crc) || o.reason == std::int16_t(SkipReason::Damaged) ||
                o.reason == std::int16_t(SkipReason::Overlap))
                ++tested;
            raise.skipped(reportedName(e.name), o.reason);
        }
    }
    if (selected == 0) return names.empty() ? kStatusOk : kStatusNoMatches;
    if (files > 0 && tested == 0) return kStatusCouldNotTest;
    raise.finished(handled);
    return failed ? kStatusCrcFailed : kStatusOk;
}

// ---- extract ----

namespace {

struct FdGuard {
    int fd = -1;
    ~FdGuard() {
        if (fd >= 0) ::close(fd);
    }
};

void setTimes(const std::filesystem::path& p, std::int64_t mtime, bool link) {
    struct timespec ts[2];
    ts[0].tv_sec = mtime;
    ts[0].tv_nsec = 0;
    ts[1] = ts[0];
    ::utimensat(AT_FDCWD, p.c_str(), ts, link ? AT_SYMLINK_NOFOLLOW : 0);
}

}  // namespace

std::int16_t ZipEngine::extract(std::int16_t mode) {
    abort_ = false;
    if (mode != 0 && mode != 1) return kStatusConfiguration;
    if (overwrite_ < 0 || overwrite_ > 2) return kStatusConfiguration;
    Raiser raise(*this);
    OpenArchive a;
    if (auto st = openArchive(archiveName_, a, raise, spanning_, Use::Read)) return st;
    std::filesystem::path root = extractFolder_.empty() ? std::filesystem::path(".") : std::filesystem::path(extractFolder_);
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (!std::filesystem::is_directory(root, ec)) return kStatusAccess;
    NameList names(names_);
    std::size_t selected = 0, dataErrors = 0;
    std::uint64_t handled = 0;
    mode_t um = ::umask(0);
    ::umask(um);
    for (std::size_t i = 0; i < a.dir.entries.size(); ++i) {
        const ZipEntry& e = a.dir.entries[i];
        if (!names.matches(e.name)) continue;
        ++selected;
        if (abort_) return kStatusUserAborted;
        std::string shown = reportedName(e.name);
        std::vector<std::string> parts;
        if (!safeComponents(e.name, savePathInfo_, parts)) {
            raise.skipped(shown, std::int16_t(SkipReason::UnsafeName));
            continue;
        }
        if (e.isDirectory()) {
            if (!savePathInfo_) continue;
            parts.push_back(".");  // create the folder itself through preparePlace
            std::filesystem::path place;
            auto r = preparePlace(root, parts, place);
            std::filesystem::path folder = place.parent_path();
            struct stat st {};
            if (r == PlaceResult::Ok && ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                raise.record(EventId::Processed, makeRecord(e, true));
            } else {
                raise.skipped(shown, std::int16_t(r == PlaceResult::ThroughLink ? SkipReason::LinkOutside
                                                                                   : SkipReason::CannotWrite));
            }
            continue;
        }
        std::filesystem::path target;
        auto r = preparePlace(root, parts, target);
        if (r != PlaceResult::Ok) {
            raise.skipped(shown, std::int16_t(r == PlaceResult::ThroughLink ? SkipReason::LinkOutside
                                                                               : SkipReason::CannotWrite));
            continue;
        }
        struct stat existing {};
        bool exists = ::lstat(target.c_str(), &existing) == 0;
        if (exists) {
            if (S_ISDIR(existing.st_mode)) {
                raise.skipped(shown, std::int16_t(SkipReason::CannotWrite));
                continue;
            }
            if (overwrite_ == 0 || (mode == 1 && existing.st_mtime >= e.mtime)) {
                raise.skipped(shown, std::int16_t(SkipReason::Exists));
                continue;
            }
            if (overwrite_ == 1 && !S_ISLNK(existing.st_mode) && ::access(target.c_str(), W_OK) != 0) {
                raise.skipped(shown, std::int16_t(SkipReason::CannotWrite));
                continue;
            }
        }
        raise.record(EventId::Starting, makeRecord(e, false));
        // Decode into a temporary file beside the target; it replaces the target only
        // when complete, so a damaged entry never destroys an existing file.
        std::string tmpl = (target.parent_path() / ("." + target.filename().string() + ".qx-XXXXXX")).string();
        std::vector<char> tname(tmpl.begin(), tmpl.end());
        tname.push_back('\0');
        FdGuard out;
        out.fd = ::mkostemp(tname.data(), O_CLOEXEC);
        if (out.fd < 0) {
            if (errno == ENOSPC || errno == EDQUOT) return kStatusDiskFull;
            raise.skipped(shown, std::int16_t(SkipReason::CannotWrite));
            continue;
        }
        std::string tempPath = tname.data();
        int writeErr = 0;
        bool isLink = e.isSymlink();
        std::string linkText;
        std::uint64_t progressed = 0;
        DataSink sink = [&](const unsigned char* d, std::size_t n) -> bool {
            if (isLink) {
                if (linkText.size() + n > 4096) {
                    writeErr = ENAMETOOLONG;
                    return false;
                }
                linkText.append(reinterpret_cast<const char*>(d), n);
                return true;
            }
            while (n > 0) {
                ssize_t w = ::write(out.fd, d, n);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) {
                    writeErr = w < 0 ? errno : ENOSPC;
                    return false;
                }
                d += w;
                n -= std::size_t(w);
                progressed += std::uint64_t(w);
            }
            if (e.size > (8u << 20) && (progressed & ((4u << 20) - 1)) < (256u << 10)) {
                EntryRecord pr = makeRecord(e, false);
                pr.done = std::int32_t(std::min<std::uint64_t>(progressed, INT32_MAX));
                pr.percent = std::int16_t(progressed * 100 / e.size);
                raise.record(EventId::Progress, pr);
            }
            return true;
        };
        std::set<std::string> tried;
        DecodeOutcome o;
        for (;;) {
            tried.insert(password_);
            o = decodeEntry(a.file, a.dir, e, a.limits[i], password_, abort_, sink);
            if (o.result != DecodeResult::NeedPassword) break;
            std::string pw;
            if (!raise.passwordRequest(pw) || tried.count(pw)) {
                o.result = DecodeResult::Reason;
                o.reason = std::int16_t(SkipReason::Password);
                break;
            }
        }
        auto dropTemp = [&] { ::unlink(tempPath.c_str()); };
        if (o.result == DecodeResult::Aborted) {
            dropTemp();
            return kStatusUserAborted;
        }
        if (o.result == DecodeResult::SinkFailed) {
            dropTemp();
            if (writeErr == ENOSPC || writeErr == EDQUOT) return kStatusDiskFull;
            raise.skipped(shown, std::int16_t(isLink ? SkipReason::Damaged : SkipReason::CannotWrite));
            continue;
        }
        if (o.result != DecodeResult::Ok) {
            dropTemp();
            if (o.reason == std::int16_t(SkipReason::Crc) || o.reason == std::int16_t(SkipReason::Damaged)) ++dataErrors;
            raise.skipped(shown, o.reason);
            continue;
        }
        if (isLink) {
            dropTemp();
            if (!linkTargetInside(parts, linkText)) {
                raise.skipped(shown, std::int16_t(SkipReason::LinkOutside));
                continue;
            }
            if (exists) ::unlink(target.c_str());
            if (::symlink(linkText.c_str(), target.c_str()) != 0) {
                raise.skipped(shown, std::int16_t(SkipReason::CannotWrite));
                continue;
            }
            setTimes(target, e.mtime, true);
            raise.record(EventId::Processed, makeRecord(e, true));
            continue;
        }
        std::uint32_t umode = e.unixMode();
        mode_t perm = umode ? (umode & 0777) : (0666 & ~um);
        if (e.dosAttributes() & 0x01) perm &= ~mode_t(0222);
        ::fchmod(out.fd, perm);
        if (::fsync(out.fd) != 0 && (errno == ENOSPC || errno == EDQUOT)) {
            dropTemp();
            return kStatusDiskFull;
        }
        ::close(out.fd);
        out.fd = -1;
        setTimes(tempPath, e.mtime, false);
        if (::rename(tempPath.c_str(), target.c_str()) != 0) {
            dropTemp();
            raise.skipped(shown, std::int16_t(SkipReason::CannotWrite));
            continue;
        }
        handled += e.size;
        raise.record(EventId::Processed, makeRecord(e, true));
    }
    if (selected == 0 && !names.empty()) return kStatusNoMatches;
    raise.finished(handled);
    return dataErrors ? kStatusCrcFailed : kStatusOk;
}

// ---- delete ----

std::int16_t ZipEngine::deleteEntries() {
    abort_ = false;
    NameList names(names_);
    if (names.empty()) return kStatusNoMatches;
    Raiser raise(*this);
    OpenArchive a;
    if (auto st = openArchive(archiveName_, a, raise, spanning_, Use::Modify)) return st;
    std::vector<bool> drop(a.dir.entries.size());
    std::size_t hits = 0;
    for (std::size_t i = 0; i < a.dir.entries.size(); ++i)
        if (names.matches(a.dir.entries[i].name)) {
            drop[i] = true;
            ++hits;
        }
    if (hits == 0) return kStatusNoMatches;
    struct stat st {};
    ::stat(archiveName_.c_str(), &st);
    OutputFile out;
    if (!out.createBeside(archiveName_)) return writeStatus(out.error());
    ZipWriter w(out);
    for (std::size_t i = 0; i < a.dir.entries.size(); ++i) {
        if (drop[i]) continue;
        bool aborted = false;
        if (!w.copyEntry(a.file, a.dir, a.dir.entries[i], abort_, aborted)) {
            if (aborted) return kStatusUserAborted;
            if (out.error()) return writeStatus(out.error());
            return kStatusCorrupt;  // an entry we keep cannot be read: refuse rather than lose it
        }
    }
    if (abort_) return kStatusUserAborted;
    if (!w.finish(a.dir.comment) || !out.commit(archiveName_, st.st_mode)) return writeStatus(out.error());
    for (std::size_t i = 0; i < a.dir.entries.size(); ++i)
        if (drop[i]) raise.deleted(reportedName(a.dir.entries[i].name));
    return kStatusOk;
}

}  // namespace quarva::engine
