// list, test, extract, delete and the archive comment.

#include "engine/EngineOps.h"
#include "engine/NameList.h"
#include "engine/OrderedParallel.h"
#include "engine/SafePath.h"
#include "engine/Span.h"
#include "engine/ZipReader.h"
#include "engine/ZipWriter.h"

#include "platform/AtomicFile.h"
#include "platform/SafeDestination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <thread>

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
    case EROFS:
    case ENOENT:
    case ENOTDIR: return kStatusAccess;
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
        st = readDirectory(a.file, a.dir, true, raise.namesCharset());
        if (st == kStatusZeroLength && spanning) {
            unsigned char sig[4];
            if (a.file.size() >= 4 && a.file.read(0, sig, 4) && rd32(sig) == kSigSpanMarker) {
                // The first disk of a set is in the drive: the directory is on the last one.
                a.file.close();
                if ((st = askForLastDisk(raise, path))) return st;
                if ((st = a.file.open(path))) return st;
                st = readDirectory(a.file, a.dir, true, raise.namesCharset());
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
    if (isReadOnly(st)) return kStatusAccess;
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
    if (!out.write(t) || !out.commit()) return writeStatus(out.error());
    return kStatusOk;
}

// ---- test and extract: entries decoded on worker threads, events in order ----

namespace {

// Test and extraction decode entries up to this size in one piece and stream larger
// ones, so that their memory stays bounded; every entry goes to the workers, the
// calling thread reports the progress of large ones.
constexpr std::uint64_t kWholeLimit = 8ull << 20;

unsigned workerCount(std::int16_t threads) {
    return threads > 0 ? unsigned(threads) : std::max(1u, std::thread::hardware_concurrency());
}

struct FdGuard {
    int fd = -1;
    ~FdGuard() {
        if (fd >= 0) ::close(fd);
    }
};

// What happened to one entry, as the calling thread reports it.
struct Outcome {
    enum Kind { Done, Skip, NeedPassword, Aborted, DiskFull, Deferred, Quiet } kind = Done;
    std::int16_t reason = 0;
    bool dataError = false;
    bool folder = false;
};

// Folders already looked through for dead writers' temporaries: each once per
// extraction, not once per file (workers share it).
class CleanedFolders {
public:
    bool firstVisit(int dirFd) {
        struct stat st {};
        if (::fstat(dirFd, &st) != 0) return true;
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_.insert({st.st_dev, st.st_ino}).second;
    }

private:
    std::mutex mutex_;
    std::set<std::pair<dev_t, ino_t>> seen_;
};

struct ExtractSettings {
    platform::SafeDestination* dest = nullptr;
    CleanedFolders* cleaned = nullptr;
    bool usePaths = true;
    std::int16_t overwrite = 0;
    std::int16_t mode = 0;
    mode_t umask = 022;
};

bool diskFull(int err) { return err == ENOSPC || err == EDQUOT; }

// A folder on the way is a link (or something else that is not a folder).
SkipReason placeProblem(const std::error_code& ec) {
    return ec == std::errc::too_many_symbolic_link_levels || ec == std::errc::not_a_directory ? SkipReason::LinkOutside
                                                                                              : SkipReason::CannotWrite;
}

// Extracts one entry (file, folder or link) under the destination: every folder is
// reached from the one before it without following links, and a file appears
// whole or not at all. `progress` (may be null) is called with the bytes written so
// far, on the calling thread only.
Outcome extractEntry(const OpenArchive& a, std::size_t i, const ExtractSettings& set, const std::string& password,
                     const std::atomic<bool>& abort, const std::function<void(std::uint64_t)>& progress) {
    Outcome out;
    auto skip = [&](SkipReason r) {
        out.kind = Outcome::Skip;
        out.reason = std::int16_t(r);
        return out;
    };
    const ZipEntry& e = a.dir.entries[i];
    std::vector<std::string> parts;
    if (!safeComponents(e.name, set.usePaths, parts)) return skip(SkipReason::UnsafeName);
    platform::SafeDestination& dest = *set.dest;
    std::error_code ec;
    if (e.isDirectory()) {
        if (!set.usePaths) {
            out.kind = Outcome::Quiet;
            return out;
        }
        if (!dest.createFolder(parts, ec)) return skip(placeProblem(ec));
        out.folder = true;
        return out;
    }
    const std::string& leaf = parts.back();
    FdGuard folder;
    folder.fd = dest.openFolder(std::vector<std::string>(parts.begin(), parts.end() - 1), true, ec);
    if (folder.fd < 0) return skip(placeProblem(ec));
    struct stat existing {};
    bool exists = ::fstatat(folder.fd, leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode)) return skip(SkipReason::CannotWrite);
        if (set.overwrite == 0 || (set.mode == 1 && existing.st_mtime >= e.mtime)) return skip(SkipReason::Exists);
        if (set.overwrite == 1 && !S_ISLNK(existing.st_mode) && ::faccessat(folder.fd, leaf.c_str(), W_OK, 0) != 0)
            return skip(SkipReason::CannotWrite);
    }
    bool isLink = e.isSymlink();
    std::string linkText;
    platform::AtomicFile file;
    if (!isLink && !file.openAt(folder.fd, leaf, ec, 0600, set.cleaned->firstVisit(folder.fd))) {
        if (diskFull(ec.value())) {
            out.kind = Outcome::DiskFull;
            return out;
        }
        return skip(SkipReason::CannotWrite);
    }
    int writeErr = 0;
    std::uint64_t written = 0, reported = 0;
    DataSink sink = [&](const unsigned char* d, std::size_t n) -> bool {
        if (isLink) {
            if (linkText.size() + n > 4096) return false;
            linkText.append(reinterpret_cast<const char*>(d), n);
            return true;
        }
        std::error_code wec;
        if (!file.write(d, n, wec)) {
            writeErr = wec.value();
            return false;
        }
        written += n;
        if (progress && written - reported >= (4u << 20)) {
            reported = written;
            progress(written);
        }
        return true;
    };
    DecodeOutcome o = decodeEntry(a.file, a.dir, e, a.limits[i], password, abort, sink, kWholeLimit);
    if (o.result != DecodeResult::Ok) {
        file.discard();
        switch (o.result) {
        case DecodeResult::Aborted: out.kind = Outcome::Aborted; return out;
        case DecodeResult::NeedPassword: out.kind = Outcome::NeedPassword; return out;
        case DecodeResult::SinkFailed:
            if (diskFull(writeErr)) {
                out.kind = Outcome::DiskFull;
                return out;
            }
            return skip(isLink ? SkipReason::Damaged : SkipReason::CannotWrite);
        default:
            out = skip(SkipReason(o.reason));
            out.dataError = o.reason == std::int16_t(SkipReason::Crc) || o.reason == std::int16_t(SkipReason::Damaged);
            return out;
        }
    }
    struct timespec ts[2];
    ts[0].tv_sec = e.mtime;
    ts[0].tv_nsec = 0;
    ts[1] = ts[0];
    if (isLink) {
        // Allowed when the target, resolved from the link's own folder, stays inside.
        if (!dest.createSymlink(parts, linkText, ec))
            return skip(ec == std::errc::permission_denied ? SkipReason::LinkOutside : placeProblem(ec));
        ::utimensat(folder.fd, leaf.c_str(), ts, AT_SYMLINK_NOFOLLOW);
        return out;
    }
    std::uint32_t umode = e.unixMode();
    mode_t perm = umode ? (umode & 0777) : (0666 & ~set.umask);
    if (e.dosAttributes() & 0x01) perm &= ~mode_t(0222);
    if (file.mode() != perm) ::fchmod(file.fd(), perm);
    ::futimens(file.fd(), ts);
    // A new file needs no flush of its own; one that replaces a file does, so that
    // a crash never leaves an empty file where the old one was.
    if (!file.commit(ec, exists ? platform::AtomicFile::Flush::Data : platform::AtomicFile::Flush::None)) {
        file.discard();
        if (diskFull(ec.value())) {
            out.kind = Outcome::DiskFull;
            return out;
        }
        return skip(SkipReason::CannotWrite);
    }
    return out;
}

// An entry that needs a password: the current password is tried once, then the
// frame is asked (event 8) until it declines or repeats an answer already tried;
// then the entry is skipped for its password.
template <class Retry>
void settlePassword(Outcome& o, const std::string& snapshot, const std::string& password, ZipEngine::Raiser& raise,
                    Retry retry) {
    std::set<std::string> tried{snapshot};
    while (o.kind == Outcome::NeedPassword) {
        if (!tried.count(password)) {
            tried.insert(password);
            o = retry();
            continue;
        }
        std::string pw;
        if (!raise.passwordRequest(pw) || tried.count(pw)) {
            o.kind = Outcome::Skip;
            o.reason = std::int16_t(SkipReason::Password);
            break;
        }
    }
}

}  // namespace

// Runs `one` for every selected entry: on workers when it can, on the calling
// thread for large entries and for the password dialogue; `report` raises the
// events in archive order. Returns false when `report` stops the run.
// An archive that holds links is extracted strictly in order on the calling thread,
// so that whether a later entry meets a link never depends on timing.
template <class One, class Report>
static bool forSelected(const std::vector<std::size_t>& sel, const OpenArchive& a, unsigned threads,
                        std::uint64_t workerLimit, One one, Report report,
                        const std::function<void(std::size_t)>& waiting = {}) {
    bool inOrder =
        std::any_of(a.dir.entries.begin(), a.dir.entries.end(), [](const ZipEntry& e) { return e.isSymlink(); });
    std::function<Outcome(std::size_t)> work = [&](std::size_t k) -> Outcome {
        const ZipEntry& e = a.dir.entries[sel[k]];
        if (inOrder || e.size > workerLimit) {
            Outcome d;
            d.kind = Outcome::Deferred;
            return d;
        }
        return one(sel[k], false);
    };
    std::function<bool(std::size_t, Outcome&)> consume = [&](std::size_t k, Outcome& o) { return report(sel[k], o); };
    std::function<void(std::size_t)> idle;
    if (waiting) idle = [&](std::size_t k) { waiting(sel[k]); };
    // Outcomes are small: workers may run far ahead of a large entry.
    return orderedParallel<Outcome>(sel.size(), threads, std::max<std::size_t>(threads * 64, 256), work, consume, idle);
}

std::int16_t ZipEngine::test() {
    abort_ = false;
    Raiser raise(*this);
    OpenArchive a;
    if (auto st = openArchive(archiveName_, a, raise, spanning_, Use::Read)) return st;
    NameList names(names_);
    std::vector<std::size_t> sel;
    for (std::size_t i = 0; i < a.dir.entries.size(); ++i)
        if (names.matches(a.dir.entries[i].name)) sel.push_back(i);
    if (sel.empty()) return names.empty() ? kStatusOk : kStatusNoMatches;
    std::size_t failed = 0, tested = 0, files = 0;
    std::uint64_t handled = 0;
    std::string snapshot = password_;
    auto one = [&](std::size_t i, bool mainThread) -> Outcome {
        Outcome o;
        const ZipEntry& e = a.dir.entries[i];
        if (e.isDirectory()) {
            o.folder = true;
            return o;
        }
        DecodeOutcome d = decodeEntry(
            a.file, a.dir, e, a.limits[i], mainThread ? password_ : snapshot, abort_,
            [](const unsigned char*, std::size_t) { return true; }, kWholeLimit);
        switch (d.result) {
        case DecodeResult::Ok: break;
        case DecodeResult::Aborted: o.kind = Outcome::Aborted; break;
        case DecodeResult::NeedPassword: o.kind = Outcome::NeedPassword; break;
        default:
            o.kind = Outcome::Skip;
            o.reason = d.reason;
            o.dataError = d.reason == std::int16_t(SkipReason::Crc) || d.reason == std::int16_t(SkipReason::Damaged) ||
                          d.reason == std::int16_t(SkipReason::Overlap);
        }
        return o;
    };
    bool aborted = false;
    forSelected(sel, a, workerCount(threads_), UINT64_MAX, one, [&](std::size_t i, Outcome& o) -> bool {
        const ZipEntry& e = a.dir.entries[i];
        if (abort_) {
            aborted = true;
            return false;
        }
        if (!e.isDirectory()) {
            ++files;
            raise.record(EventId::Starting, makeRecord(e, false));
        }
        if (o.kind == Outcome::Deferred) o = one(i, true);
        settlePassword(o, snapshot, password_, raise, [&] { return one(i, true); });
        if (o.kind == Outcome::Aborted) {
            aborted = true;
            return false;
        }
        if (o.kind == Outcome::Done) {
            if (!o.folder) {
                ++tested;
                handled += e.size;
            }
            raise.record(EventId::Tested, makeRecord(e, true));
        } else {
            ++failed;
            if (o.dataError) ++tested;
            raise.skipped(reportedName(e.name), o.reason);
        }
        return true;
    });
    if (aborted || abort_) return kStatusUserAborted;
    if (files > 0 && tested == 0) return kStatusCouldNotTest;
    raise.finished(handled);
    if (failed) return kStatusCrcFailed;
    // The entries read, but the records that lead to them are damaged.
    return a.dir.endProblem.empty() ? kStatusOk : kStatusCorrupt;
}

std::int16_t ZipEngine::extract(std::int16_t mode) {
    abort_ = false;
    if (mode != 0 && mode != 1) return kStatusConfiguration;
    if (overwrite_ < 0 || overwrite_ > 2) return kStatusConfiguration;
    Raiser raise(*this);
    OpenArchive a;
    if (auto st = openArchive(archiveName_, a, raise, spanning_, Use::Read)) return st;
    ExtractSettings set;
    std::filesystem::path root =
        extractFolder_.empty() ? std::filesystem::path(".") : std::filesystem::path(extractFolder_);
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    platform::SafeDestination dest;
    if (!dest.open(root, ec)) return kStatusAccess;
    set.dest = &dest;
    CleanedFolders cleaned;
    set.cleaned = &cleaned;
    set.usePaths = savePathInfo_;
    set.overwrite = overwrite_;
    set.mode = mode;
    set.umask = ::umask(0);
    ::umask(set.umask);
    NameList names(names_);
    std::vector<std::size_t> sel;
    for (std::size_t i = 0; i < a.dir.entries.size(); ++i)
        if (names.matches(a.dir.entries[i].name)) sel.push_back(i);
    if (sel.empty() && !names.empty()) return kStatusNoMatches;
    std::size_t dataErrors = 0;
    std::uint64_t handled = 0;
    std::string snapshot = password_;
    std::int16_t status = kStatusOk;
    auto raiseProgress = [&](const ZipEntry& e, std::uint64_t done) {
        EntryRecord pr = makeRecord(e, false);
        pr.done = std::int32_t(std::min<std::uint64_t>(done, INT32_MAX));
        pr.percent = std::int16_t(e.size ? done * 100 / e.size : 100);
        raise.record(EventId::Progress, pr);
    };
    // A large entry on a worker leaves its progress steps here; this thread raises
    // them in turn, after the entry's start event (while it waits, or with the result).
    struct Shown {
        std::size_t entry = SIZE_MAX;
        std::size_t steps = 0;
    } shown;
    std::mutex progressLock;
    std::map<std::size_t, std::vector<std::uint64_t>> workerProgress;
    auto start = [&](std::size_t i) {
        if (shown.entry == i) return;
        shown = {i, 0};
        if (!a.dir.entries[i].isDirectory()) raise.record(EventId::Starting, makeRecord(a.dir.entries[i], false));
    };
    auto showProgress = [&](std::size_t i, bool final) {
        std::vector<std::uint64_t> steps;
        {
            std::lock_guard<std::mutex> hold(progressLock);
            auto it = workerProgress.find(i);
            if (it == workerProgress.end()) return;
            steps = it->second;
            if (final) workerProgress.erase(it);
        }
        start(i);
        for (; shown.steps < steps.size(); ++shown.steps) raiseProgress(a.dir.entries[i], steps[shown.steps]);
    };
    auto one = [&](std::size_t i, bool mainThread) -> Outcome {
        const ZipEntry& e = a.dir.entries[i];
        std::function<void(std::uint64_t)> progress;
        if (mainThread) progress = [&](std::uint64_t done) { raiseProgress(e, done); };
        else
            progress = [&, i](std::uint64_t done) {
                std::lock_guard<std::mutex> hold(progressLock);
                workerProgress[i].push_back(done);
            };
        return extractEntry(a, i, set, mainThread ? password_ : snapshot, abort_, progress);
    };
    forSelected(
        sel, a, workerCount(threads_), UINT64_MAX, one,
        [&](std::size_t i, Outcome& o) -> bool {
            const ZipEntry& e = a.dir.entries[i];
            if (abort_) {
                status = kStatusUserAborted;
                return false;
            }
            start(i);
            showProgress(i, true);
            if (o.kind == Outcome::Deferred) o = one(i, true);
            settlePassword(o, snapshot, password_, raise, [&] { return one(i, true); });
            switch (o.kind) {
            case Outcome::Aborted: status = kStatusUserAborted; return false;
            case Outcome::DiskFull: status = kStatusDiskFull; return false;
            case Outcome::Quiet: return true;
            case Outcome::Skip:
                if (o.dataError) ++dataErrors;
                raise.skipped(reportedName(e.name), o.reason);
                return true;
            default:
                handled += e.size;
                raise.record(EventId::Processed, makeRecord(e, true));
                return true;
            }
        },
        [&](std::size_t i) { showProgress(i, false); });
    if (status == kStatusOk && abort_) status = kStatusUserAborted;
    if (status) return status;
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
    if (isReadOnly(st)) return kStatusAccess;
    OutputFile out;
    if (!out.createBeside(archiveName_)) return writeStatus(out.error());
    ZipWriter w(out);
    std::vector<std::size_t> kept;
    kept.reserve(a.dir.entries.size() - hits);
    for (std::size_t i = 0; i < a.dir.entries.size(); ++i)
        if (!drop[i]) kept.push_back(i);
    if (auto st = keepEntries(w, out, a.file, a.dir, kept, true, abort_)) return st;
    if (!w.finish(a.dir.rawComment) || !out.commit()) return writeStatus(out.error());
    for (std::size_t i = 0; i < a.dir.entries.size(); ++i)
        if (drop[i]) raise.deleted(reportedName(a.dir.entries[i].name));
    return kStatusOk;
}

}  // namespace quarva::engine
