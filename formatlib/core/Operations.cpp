#include "formatlib/core/Operations.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "formatlib/core/Abort.h"
#include "formatlib/core/Names.h"
#include "formatlib/core/SafeExtract.h"
#include "formatlib/formats/LibarchiveWriter.h"
#include "formatlib/formats/TarStream.h"
#include "formatlib/formats/UuCodec.h"
#include "platform/AtomicFile.h"

namespace quarva::formatlib {
namespace fs = std::filesystem;

namespace {

const char* const kAborted = "Operation aborted by the user";

// A host file read as entry data. Only a regular file is opened: a fifo or device
// put in its place is refused instead of blocking or reading without end.
class FileSource : public DataSource {
public:
    explicit FileSource(const fs::path& p, bool followLinks = true) {
        fd_ = ::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
        if (fd_ < 0) {
            error_ = std::strerror(errno);
            return;
        }
        struct stat st {};
        if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            error_ = "not a regular file";
            ::close(fd_);
            fd_ = -1;
            return;
        }
        fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        size_ = static_cast<std::uint64_t>(st.st_size);
        mtime_ = st.st_mtime;
    }
    ~FileSource() override {
        if (fd_ >= 0) ::close(fd_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool ok() const { return fd_ >= 0; }
    // Size and time of the file opened (it may have changed since it was listed).
    std::uint64_t size() const { return size_; }
    std::time_t mtime() const { return mtime_; }
    long read(void* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, size);
            if (n >= 0) return static_cast<long>(n);
            if (errno == EINTR) continue;
            error_ = std::string("cannot read the file (") + std::strerror(errno) + ")";
            return -1;
        }
    }
    std::string error() const override { return error_; }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::time_t mtime_ = 0;
    std::string error_;
};

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Opens an existing archive with the handler its content asks for; reports why not
// (a failure of the operation).
std::unique_ptr<ArchiveReader> openArchive(const std::string& archive, const std::string& password, Reporter& rep,
                                           const FormatHandler** used = nullptr) {
    struct stat st {};
    if (archive.empty() || stat(archive.c_str(), &st) != 0) {
        rep.failure("", archive, "Archive Not Found", archive);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        rep.failure("", archive, "Not an archive", "the path is not a file");
        return nullptr;
    }
    const FormatHandler* h = handlerForFile(archive);
    if (used) *used = h;
    if (!h) {
        rep.failure("", archive, "Unknown archive format", "no format of this library recognises the file");
        return nullptr;
    }
    std::string why;
    auto r = h->openReader(archive, password, &why);
    if (!r) rep.failure("", archive, "Cannot open the archive", why);
    return r;
}

// Writes a new file through a temporary file beside the target (platform::AtomicFile:
// a target that is a symbolic link has its final target written, the link stays);
// the target is replaced only when `body` and the writer's finish both succeed.
bool writeThroughTemp(const std::string& target, const std::function<bool(const fs::path& temp)>& body, Reporter& rep) {
    platform::AtomicFile file;
    std::error_code ec;
    if (!file.open(target, ec)) {
        rep.failure("", target, "Cannot create a temporary file", ec.message());
        return false;
    }
    bool good = body(file.tempPath());
    if (good && abortRequested()) {
        rep.failure("", target, kAborted);
        good = false;
    }
    if (good && !file.commit(ec)) {
        rep.failure("", target, "Cannot replace the archive",
                    ec == std::errc::no_space_on_device ? "disk full" : ec.message());
        good = false;
    }
    if (!good) {
        file.discard();
        rep.markFailed();
    }
    return good;
}

// Copies `src` to a temporary file so that a writer that needs sizes gets one.
class SpooledSource : public DataSource {
public:
    SpooledSource(DataSource& src, const fs::path& folder) {
        std::string tmpl = (folder / ".qzspool-XXXXXX").string();
        const int fd = mkstemp(tmpl.data());
        if (fd < 0) {
            error_ = "cannot create a temporary file";
            return;
        }
        ::close(fd);
        path_ = tmpl;
        std::ofstream out(path_, std::ios::binary);
        std::vector<char> buf(64 * 1024);
        for (;;) {
            if (abortRequested()) {
                error_ = kAborted;
                return;
            }
            long n = src.read(buf.data(), buf.size());
            if (n < 0) {
                error_ = src.error();
                return;
            }
            if (n == 0) break;
            out.write(buf.data(), n);
            size_ += static_cast<std::uint64_t>(n);
        }
        out.close();
        if (!out) {
            error_ = "cannot write a temporary file (disk full?)";
            return;
        }
        in_.open(path_, std::ios::binary);
        ok_ = static_cast<bool>(in_);
    }
    ~SpooledSource() override {
        if (!path_.empty()) unlink(path_.c_str());
    }
    bool ok() const { return ok_; }
    std::uint64_t size() const { return size_; }
    long read(void* buffer, std::size_t size) override {
        in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
        if (in_.bad()) return -1;
        return static_cast<long>(in_.gcount());
    }
    std::string error() const override { return error_; }

private:
    std::string path_;
    std::ifstream in_;
    std::uint64_t size_ = 0;
    bool ok_ = false;
    std::string error_;
};

bool writerHoldsLinks(const FormatHandler& h) {
    const std::string n = h.name();
    return n == "tar" || n == "tar.gz" || n == "zip" || n == "jar" || n == "lha";
}

// Adds one entry to a writer, spooling data of unknown size when the writer needs sizes.
bool addEntry(ArchiveWriter& w, const EntryInfo& e, DataSource* data, const fs::path& spoolFolder, std::string* why) {
    if (data && !e.isDir && !e.isSymlink && !e.isHardlink && !e.sizeKnown && w.needsSize()) {
        SpooledSource spool(*data, spoolFolder);
        if (!spool.ok()) {
            *why = spool.error();
            return false;
        }
        EntryInfo sized = e;
        sized.sizeKnown = true;
        sized.size = spool.size();
        if (!w.add(sized, &spool)) {
            *why = w.error();
            return false;
        }
        return true;
    }
    if (!w.add(e, (e.isDir || e.isSymlink || e.isHardlink) ? nullptr : data)) {
        *why = w.error();
        return false;
    }
    return true;
}

// The name an entry of an existing archive is matched by: its safe form when it
// has one ("./a/" is "a"), else as stored.
std::string matchName(const std::string& stored) {
    std::string n = stored;
    while (n.size() > 1 && n.back() == '/') n.pop_back();
    const auto safe = safeRelativePath(n);
    return safe ? *safe : n;
}

// Copies the entries of `r` into `w`, leaving out those `drop` selects; a failed
// write ends the copy (the target is then discarded by the caller).
// A conversion (`carryAll` false) leaves out, with an error record, unsafe names and
// entries the target cannot hold. A rewrite of an archive (`carryAll`) keeps every
// entry it does not change, names as stored; one it cannot keep fails the operation.
bool copyEntries(ArchiveReader& r, ArchiveWriter& w, const FormatHandler& target, const std::string& source,
                 const fs::path& spoolFolder, const std::function<bool(const std::string&)>& drop, Reporter& rep,
                 bool reportEach, std::vector<std::string>* dropped = nullptr, bool carryAll = false) {
    EntryInfo e;
    for (;;) {
        if (abortRequested()) {
            rep.failure("", source, kAborted);
            return false;
        }
        const int n = r.next(e);
        if (n == 0) return true;
        if (n < 0) {
            rep.failure("", source, "Damaged archive", r.error());
            return false;
        }
        std::string why;
        std::string name;
        if (carryAll) {
            name = matchName(e.name);
        } else {
            const auto safe = safeRelativePath(e.name, &why);
            if (!safe) {
                rep.error(e.name, e.name, "Unsafe name left out", why);
                continue;
            }
            name = *safe;
            e.name = name;
        }
        if (drop && drop(name)) {
            if (dropped) dropped->push_back(name);
            continue;
        }
        const char* leftOut = nullptr;
        std::string reason;
        if (e.method == "special") {
            leftOut = "Special file left out";
            reason = "devices, pipes and sockets are not copied";
        } else if ((e.isSymlink && !writerHoldsLinks(target)) ||
                   (e.isHardlink && std::string(target.name()).rfind("tar", 0) != 0)) {
            leftOut = "Link left out";
            reason = std::string(target.name()) + " archives cannot hold this link";
        }
        if (leftOut && carryAll) {
            rep.failure(name, source, "Cannot keep the entry", reason);
            return false;
        }
        if (leftOut) {
            rep.error(e.name, e.name, leftOut, reason);
            continue;
        }
        if (!addEntry(w, e, &r, spoolFolder, &why)) {
            rep.failure(name, name, carryAll ? "Cannot keep the entry" : "Cannot copy the entry", why);
            return false;
        }
        if (reportEach && !e.isDir) rep.processed(e);
    }
}

fs::path folderOf(const std::string& path) {
    fs::path p = fs::path(path).parent_path();
    return p.empty() ? fs::path(".") : p;
}

bool hiddenName(const std::string& name) { return !name.empty() && name[0] == '.'; }

struct NewItem {
    fs::path host;
    std::string entry;  // "/" separated
    bool isDir;
};

// Entry name for a host path: the full path without its leading "/" (save path
// info for an absolute path), else the path from `base` on.
std::string entryNameFor(const fs::path& host, const fs::path& base, bool fullPath) {
    std::string s;
    if (fullPath) {
        s = fs::absolute(host).lexically_normal().generic_string();
        while (!s.empty() && s[0] == '/') s.erase(0, 1);
    } else {
        s = host.lexically_normal().lexically_relative(base.lexically_normal()).generic_string();
    }
    return s;
}

void collectFolder(const fs::path& folder, const fs::path& base, bool hidden, bool subfolders, bool savePathInfo,
                   const std::string& pattern, std::vector<NewItem>& out, Reporter& rep) {
    std::error_code ec;
    std::vector<fs::directory_entry> items;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        items.push_back(*it);
    if (ec) rep.error("", folder.string(), "Cannot read the folder", ec.message());
    std::sort(items.begin(), items.end(), [](auto& a, auto& b) { return a.path() < b.path(); });
    for (const auto& it : items) {
        const std::string name = it.path().filename().string();
        if (!hidden && hiddenName(name)) continue;
        std::error_code e2;
        if (it.is_symlink(e2)) {
            out.push_back({it.path(), entryNameFor(it.path(), base, savePathInfo), false});
        } else if (it.is_directory(e2)) {
            if (!subfolders) continue;
            out.push_back({it.path(), entryNameFor(it.path(), base, savePathInfo), true});
            collectFolder(it.path(), base, hidden, subfolders, savePathInfo, pattern, out, rep);
        } else if (it.is_regular_file(e2)) {
            if (!pattern.empty() && !wildcardMatch(pattern, name)) continue;
            out.push_back({it.path(), entryNameFor(it.path(), base, savePathInfo), false});
        }
    }
}

EntryInfo infoForHost(const NewItem& item) {
    EntryInfo e;
    e.name = item.entry;
    struct stat st {};
    if (lstat(item.host.c_str(), &st) == 0) {
        e.mtime = st.st_mtime;
        e.mode = st.st_mode & 07777;
        e.isDir = S_ISDIR(st.st_mode);
        e.isSymlink = S_ISLNK(st.st_mode);
        e.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
        if (!S_ISREG(st.st_mode) && !e.isDir && !e.isSymlink) e.method = "special";
        e.packedSize = e.size;
    }
    if (e.isSymlink) {
        std::error_code ec;
        e.linkTarget = fs::read_symlink(item.host, ec).string();
    }
    e.sizeKnown = true;
    return e;
}

const FormatHandler* handlerForCode(int formatCode) {
    switch (formatCode) {
    case kFormatBlakHole: return &blakHoleHandler();
    case kFormatCab: return &cabHandler();
    case kFormatLha: return &lhaHandler();
    case kFormatZip: return &zipHandler();
    case kFormatTar: return &tarHandler();
    case kFormatTarGz: return &tarGzHandler();
    case kFormatJar: return &jarHandler();
    default: return nullptr;
    }
}

std::uint64_t unknownSizeCap(const std::string& archive) {
    struct stat st {};
    return undeclaredDataCeiling(stat(archive.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0);
}

// A file to add, looked at before the archive is touched.
struct Prepared {
    NewItem item;
    EntryInfo info;
};

// Keeps of `items` what can be added: each file is looked at (and opened) first, so
// that one that cannot be read is skipped with an error record and the entry it
// would have replaced stays in the archive.
std::vector<Prepared> prepareItems(const std::vector<NewItem>& items, const FormatHandler& h, Reporter& rep) {
    std::vector<Prepared> out;
    for (const auto& it : items) {
        struct stat st {};
        if (lstat(it.host.c_str(), &st) != 0) {
            rep.error(it.entry, it.host.string(), "File not found", std::strerror(errno));
            continue;
        }
        EntryInfo e = infoForHost(it);
        if (e.method == "special") {
            rep.error(e.name, it.host.string(), "Special file left out", "devices, pipes and sockets are not added");
            continue;
        }
        if (e.isSymlink && !writerHoldsLinks(h)) {
            rep.error(e.name, it.host.string(), "Link left out", std::string(h.name()) + " archives cannot hold links");
            continue;
        }
        if (!e.isDir && !e.isSymlink) {
            FileSource probe(it.host, false);
            if (!probe.ok()) {
                rep.error(e.name, it.host.string(), "Cannot open the file", probe.error());
                continue;
            }
        }
        const std::string refused = h.refuses(e);
        if (!refused.empty()) {
            rep.error(e.name, it.host.string(), "Cannot add the file", refused);
            continue;
        }
        out.push_back({it, e});
    }
    return out;
}

// Adds the prepared files to `w`. A file that can no longer be read fails the
// operation: the archive it would have changed stays as it was.
bool addPrepared(ArchiveWriter& w, const std::vector<Prepared>& items, const std::string& archive,
                 std::vector<EntryInfo>& added, Reporter& rep) {
    for (const auto& p : items) {
        if (abortRequested()) {
            rep.failure("", archive, kAborted);
            return false;
        }
        EntryInfo e = p.info;
        std::unique_ptr<FileSource> src;
        if (!e.isDir && !e.isSymlink) {
            src = std::make_unique<FileSource>(p.item.host, false);
            if (!src->ok()) {
                rep.failure(e.name, p.item.host.string(), "Cannot open the file",
                            src->error() + "; the archive was left as it was");
                return false;
            }
            e.size = e.packedSize = src->size();
            e.mtime = src->mtime();
        }
        std::string why;
        if (!addEntry(w, e, src.get(), folderOf(archive), &why)) {
            rep.failure(e.name, p.item.host.string(), "Cannot add the file", why);
            return false;
        }
        added.push_back(e);
    }
    return true;
}

bool isTarWriter(const FormatHandler* h) { return h == &tarHandler() || h == &tarGzHandler(); }
bool isTarFamily(const FormatHandler* h) { return h && h->tarFilter() >= 0; }
// The compression a tar handler reads through.
int tarFilter(const FormatHandler* h) { return isTarFamily(h) ? h->tarFilter() : ARCHIVE_FILTER_NONE; }

// Copies the stored entries of a tar to `sink` block for block, leaving out those
// `drop` selects. A kept hard link whose entry was left out fails the copy: the
// link would have no data to point at.
bool copyTarEntries(RawTarReader& r, TarSink& sink, const std::string& source,
                    const std::function<bool(const std::string&)>& drop, std::vector<std::string>* dropped,
                    std::vector<EntryInfo>* copied, Reporter& rep) {
    std::set<std::string> left;
    RawTarEntry e;
    for (;;) {
        if (abortRequested()) {
            rep.failure("", source, kAborted);
            return false;
        }
        const int n = r.next(e);
        if (n == 0) return true;
        if (n < 0) {
            rep.failure("", source, "Damaged archive", r.error());
            return false;
        }
        const std::string name = matchName(e.name);
        if (!e.standalone && drop && drop(name)) {
            left.insert(name);
            if (dropped) dropped->push_back(name);
            continue;
        }
        if (e.isHardlink() && left.count(matchName(e.linkTarget))) {
            rep.failure(matchName(e.linkTarget), source, "Cannot leave out an entry that holds a hard link's data",
                        "the hard link " + name + " points at it; include the link too");
            return false;
        }
        if (!sink.write(e.headers.data(), e.headers.size()) || !r.copyData(&sink)) {
            rep.failure(name, source, "Cannot keep the entry", sink.error().empty() ? r.error() : sink.error());
            return false;
        }
        if (copied && !e.standalone) {
            EntryInfo info;
            info.name = e.name;
            info.isDir = e.isDir();
            info.size = info.packedSize = e.size;
            info.mtime = static_cast<std::time_t>(e.mtime);
            info.mode = e.mode;
            info.method = "tar";
            copied->push_back(info);
        }
    }
}

// Writes a tar (gzip-compressed when asked) at `temp`: first what `copyOld` copies,
// then what `addNew` adds through libarchive, then the end mark.
bool writeTar(const fs::path& temp, bool gzip, const std::string& archive, const std::function<bool(TarSink&)>& copyOld,
              const std::function<bool(ArchiveWriter&)>& addNew, Reporter& rep) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        rep.failure("", archive, "Cannot create the archive", std::strerror(errno));
        return false;
    }
    bool good = true;
    {
        TarSink sink(fd, gzip);
        if (!sink.error().empty()) {
            rep.failure("", archive, "Cannot create the archive", sink.error());
            good = false;
        }
        if (good && copyOld) good = copyOld(sink);
        bool endWritten = false;
        if (good && addNew) {
            LibarchiveWriter w(
                sink, [](struct archive* a) { return archive_write_set_format_pax_restricted(a) == ARCHIVE_OK; }, true);
            if (!w.ok()) {
                rep.failure("", archive, "Cannot create the archive", w.error());
                good = false;
            }
            good = good && addNew(w);
            if (good && !w.finish()) {
                rep.failure("", archive, "Cannot complete the archive", w.error());
                good = false;
            }
            endWritten = true;
        }
        if (good && !sink.finish(!endWritten)) {
            rep.failure("", archive, "Cannot complete the archive", sink.error());
            good = false;
        }
    }
    if (::close(fd) != 0 && good) {
        rep.failure("", archive, "Cannot complete the archive", std::strerror(errno));
        good = false;
    }
    return good;
}

}  // namespace

// ---------------------------------------------------------------------------------

void listArchive(const std::string& archive, const std::string& filters, Reporter& rep) {
    auto r = openArchive(archive, {}, rep);
    if (!r) return;
    const auto patterns = splitFileList(filters);
    EntryInfo e;
    bool kindSent = false;
    for (;;) {
        if (abortRequested()) {
            rep.error("", archive, kAborted);
            return;
        }
        const int n = r->next(e);
        if (!kindSent) {
            rep.kind(r->kind());
            kindSent = true;
        }
        if (n == 0) return;
        if (n < 0) {
            rep.error("", archive, "Damaged archive", r->error());
            if (r->canGoOn()) continue;
            return;
        }
        if (!selected(patterns, e.name)) continue;
        rep.listed(e);
    }
}

void compressFiles(const std::string& archive, const std::string& files, const std::string& password, bool hiddenFiles,
                   bool deleteAfter, bool savePathInfo, bool subfolders, Reporter& rep) {
    if (archive.empty()) {
        rep.failure("", archive, "No archive name given");
        return;
    }
    // What to add.
    std::vector<NewItem> items;
    for (const auto& f : splitFileList(files)) {
        fs::path p(f);
        const std::string file = p.filename().string();
        std::error_code ec;
        // With path info, a path given relative is stored as given (from the current
        // folder on), as zip tools do; only an absolute one keeps its whole path. A
        // path that climbs ("../x") is stored from its own folder on.
        const std::string normal = p.lexically_normal().generic_string();
        const bool climbs = normal == ".." || normal.rfind("../", 0) == 0;
        const bool asGiven = savePathInfo && p.is_relative() && !climbs;
        const bool fullPath = savePathInfo && p.is_absolute();
        if (file.find_first_of("*?") != std::string::npos) {
            const fs::path folder = p.parent_path().empty() ? fs::path(".") : p.parent_path();
            collectFolder(folder, asGiven ? fs::path(".") : folder, hiddenFiles, subfolders, fullPath,
                          file == "*" || file == "*.*" ? "" : file, items, rep);
            continue;
        }
        if (!fs::exists(fs::symlink_status(p, ec))) {
            rep.error("", f, "File not found", f);
            continue;
        }
        const fs::path host = asGiven ? p.lexically_normal() : fs::absolute(p).lexically_normal();
        const fs::path base = asGiven ? fs::path(".") : host.parent_path();
        if (fs::is_directory(fs::symlink_status(p, ec))) {
            items.push_back({p, entryNameFor(host, base, fullPath), true});
            collectFolder(host, base, hiddenFiles, subfolders, fullPath, "", items, rep);
        } else {
            items.push_back({p, entryNameFor(host, base, fullPath), false});
        }
    }
    // Never add the archive to itself; one entry per name.
    const fs::path self = fs::absolute(archive).lexically_normal();
    std::set<std::string> names;
    std::vector<NewItem> unique;
    for (auto& it : items) {
        if (fs::absolute(it.host).lexically_normal() == self) continue;
        if (it.entry.empty()) continue;
        if (!names.insert(it.entry).second) {
            if (!it.isDir)
                rep.error(it.entry, it.host.string(), "Two or more files with the same name",
                          "check 'save full path info'");
            continue;
        }
        unique.push_back(it);
    }
    if (unique.empty()) {
        rep.failure("", archive, "No files to add");
        return;
    }

    const bool exists = fileExists(archive) && fs::file_size(archive) > 0;
    const FormatHandler* h = exists ? handlerForFile(archive) : handlerForName(archive);
    if (!h) {
        rep.failure("", archive, "Creation of archive of this type not supported", "unknown extension");
        return;
    }
    if (!exists && h == &gzHandler()) {
        // A plain gz holds one file; several files or a folder make a tar.gz.
        std::size_t filesCount = 0;
        bool anyDir = false;
        for (auto& it : unique) {
            filesCount += !it.isDir;
            anyDir |= it.isDir;
        }
        if (filesCount != 1 || anyDir) h = &tarGzHandler();
    }
    const unsigned need = exists ? kCanAdd : kCanCreate;
    if (!(h->capabilities() & need)) {
        std::string why = h->unsupportedReason();
        if (why.empty())
            why = exists ? std::string("files cannot be added to ") + h->name() + " archives"
                         : std::string(h->name()) + " archives cannot be created";
        rep.failure("", archive, "Cannot add to this archive", why);
        return;
    }
    // Encryption asked for and not possible: refused, never written in the clear.
    if (!password.empty() && !(h->capabilities() & kCanEncrypt)) {
        rep.failure("", archive, "Cannot encrypt this archive",
                    std::string(h->name()) + " archives cannot hold encrypted files; nothing was added");
        return;
    }
    WriteOptions options;
    options.password = password;

    const std::vector<Prepared> prepared = prepareItems(unique, *h, rep);
    if (prepared.empty()) return;  // every file was skipped, each with its error record
    // Old entries of these names give way; those of skipped files stay.
    std::set<std::string> replacing;
    for (const auto& p : prepared) replacing.insert(p.item.entry);
    const auto replaced = [&replacing](const std::string& n) { return replacing.count(n) > 0; };

    std::vector<EntryInfo> added;
    bool committed = false;
    if (isTarWriter(h)) {
        // A tar keeps its entries as stored; the new ones follow them.
        committed = writeThroughTemp(
            archive,
            [&](const fs::path& temp) {
                std::function<bool(TarSink&)> copyOld;
                if (exists)
                    copyOld = [&](TarSink& sink) {
                        RawTarReader r(archive, tarFilter(h));
                        if (!r.isTar()) {
                            rep.failure("", archive, "Cannot open the archive", r.error());
                            return false;
                        }
                        return copyTarEntries(r, sink, archive, replaced, nullptr, nullptr, rep);
                    };
                return writeTar(
                    temp, h == &tarGzHandler(), archive, copyOld,
                    [&](ArchiveWriter& w) { return addPrepared(w, prepared, archive, added, rep); }, rep);
            },
            rep);
    } else {
        committed = writeThroughTemp(
            archive,
            [&](const fs::path& temp) {
                std::string why;
                auto w = h->openWriter(temp, options, &why);
                if (!w) {
                    rep.failure("", archive, "Cannot create the archive", why);
                    return false;
                }
                if (exists) {
                    auto r = openArchive(archive, password, rep);
                    if (!r) return false;
                    if (!copyEntries(*r, *w, *h, archive, folderOf(archive), replaced, rep, false, nullptr, true))
                        return false;
                }
                if (!addPrepared(*w, prepared, archive, added, rep)) return false;
                if (!w->finish()) {
                    rep.failure("", archive, "Cannot complete the archive", w->error());
                    return false;
                }
                return true;
            },
            rep);
    }
    if (!committed) return;
    for (const auto& e : added)
        if (!e.isDir) rep.processed(e);
    if (deleteAfter) {
        for (auto it = prepared.rbegin(); it != prepared.rend(); ++it) {
            std::error_code ec;
            fs::remove(it->item.host, ec);  // a folder only when empty now
        }
    }
}

void extractFiles(const std::string& archive, const std::string& files, const std::string& destination, bool overwrite,
                  bool useStoredPaths, Reporter& rep, const std::string& password) {
    std::error_code ec;
    if (destination.empty()) {
        rep.error("", archive, "No destination folder given");
        return;
    }
    fs::create_directories(destination, ec);
    if (!fs::is_directory(destination, ec)) {
        rep.error("", destination, "Cannot create the destination folder", ec.message());
        return;
    }
    auto r = openArchive(archive, password, rep);
    if (!r) return;
    const auto patterns = splitFileList(files);
    SafeExtractor out(fs::canonical(destination, ec), overwrite, unknownSizeCap(archive));
    EntryInfo e;
    for (;;) {
        if (abortRequested()) {
            rep.error("", archive, kAborted);
            return;
        }
        const int n = r->next(e);
        if (n == 0) return;
        if (n < 0) {
            rep.error("", archive, "Damaged archive", r->error());
            if (r->canGoOn()) continue;
            return;
        }
        if (!selected(patterns, e.name)) continue;
        if (!r->warning().empty()) rep.error(e.name, e.name, "Warning", r->warning());
        std::string why;
        auto safe = safeRelativePath(e.name, &why);
        if (!safe) {
            rep.error(e.name, e.name, "Unsafe name refused", why);
            continue;
        }
        std::string rel = *safe;
        if (!useStoredPaths) {
            if (e.isDir) continue;
            rel = filePart(rel);
            if (e.isHardlink) {
                rep.error(e.name, e.name, "Hard link not extracted", "stored paths are off");
                continue;
            }
        }
        const auto result = out.extract(e, rel, &*r);
        if (result == SafeExtractor::Result::Skipped) {
            rep.tested(e.name, false);
        } else if (result == SafeExtractor::Result::Failed) {
            std::string cause = out.cause();
            if (e.encrypted && password.empty()) cause = "the entry is encrypted: a password is needed";
            rep.error(e.name, e.name, "Cannot extract the file", cause);
            if (cause == kAborted || cause == "Operation aborted") return;
            // A fatal error in the archive ends it: it is not read again.
            if (!r->canGoOn()) {
                if (r->error() != cause) rep.error("", archive, "Damaged archive", r->error());
                return;
            }
        } else if (!e.isDir) {
            rep.processed(e);
        }
    }
}

void deleteFiles(const std::string& archive, const std::string& files, Reporter& rep) {
    const FormatHandler* h = nullptr;
    {
        auto probe = openArchive(archive, {}, rep, &h);
        if (!probe) return;
    }
    if (!(h->capabilities() & kCanDelete)) {
        std::string why = h->unsupportedReason();
        rep.failure("", archive, "Cannot delete from this archive",
                    why.empty() ? std::string("entries cannot be deleted from ") + h->name() + " archives" : why);
        return;
    }
    const auto patterns = splitFileList(files);
    if (patterns.empty()) {
        rep.failure("", archive, "No files to delete");
        return;
    }
    const auto drop = [&patterns](const std::string& n) { return selected(patterns, n); };
    std::vector<std::string> removed;
    const auto noneFound = [&]() {
        if (!removed.empty()) return false;
        rep.failure("", archive, "No matches Found.");
        return true;
    };
    bool committed = false;
    if (isTarWriter(h)) {
        committed = writeThroughTemp(
            archive,
            [&](const fs::path& temp) {
                return writeTar(
                    temp, h == &tarGzHandler(), archive,
                    [&](TarSink& sink) {
                        RawTarReader r(archive, tarFilter(h));
                        if (!r.isTar()) {
                            rep.failure("", archive, "Cannot open the archive", r.error());
                            return false;
                        }
                        return copyTarEntries(r, sink, archive, drop, &removed, nullptr, rep) && !noneFound();
                    },
                    nullptr, rep);
            },
            rep);
    } else {
        committed = writeThroughTemp(
            archive,
            [&](const fs::path& temp) {
                std::string why;
                auto r = openArchive(archive, {}, rep);
                if (!r) return false;
                auto w = h->openWriter(temp, {}, &why);
                if (!w) {
                    rep.failure("", archive, "Cannot create the archive", why);
                    return false;
                }
                if (!copyEntries(*r, *w, *h, archive, folderOf(archive), drop, rep, false, &removed, true))
                    return false;
                if (noneFound()) return false;
                if (!w->finish()) {
                    rep.failure("", archive, "Cannot complete the archive", w->error());
                    return false;
                }
                return true;
            },
            rep);
    }
    if (!committed) return;
    for (const auto& n : removed) rep.deleted(n);
}

void testArchive(const std::string& archive, const std::string& files, Reporter& rep, const std::string& password) {
    auto r = openArchive(archive, password, rep);
    if (!r) return;
    const auto patterns = splitFileList(files);
    EntryInfo e;
    std::vector<char> buf(64 * 1024);
    const std::uint64_t cap = unknownSizeCap(archive);
    std::set<std::string> goodFiles;  // files read whole so far: what a hard link can stand for
    for (;;) {
        if (abortRequested()) {
            rep.error("", archive, kAborted);
            return;
        }
        const int n = r->next(e);
        if (n == 0) return;
        if (n < 0) {
            rep.error("", archive, "Damaged archive", r->error());
            if (r->canGoOn()) continue;
            return;
        }
        const bool chosen = !e.isDir && selected(patterns, e.name);
        if (chosen && !r->warning().empty()) rep.error(e.name, e.name, "Warning", r->warning());
        if (!chosen && !(e.isHardlink || e.isSymlink || e.isDir || e.method == "special")) {
            goodFiles.insert(e.name);  // not tested now: a link to it stands for a file that is there
            continue;
        }
        if (!chosen) continue;
        if (e.isHardlink) {
            // A hard link holds no data of its own: it is good when what it names is.
            if (goodFiles.count(e.linkTarget)) {
                rep.tested(e.name, true);
            } else {
                rep.error(e.name, e.name, "Testing Failed",
                          "the hard link's target is not a good file before it in the archive: " + e.linkTarget);
                rep.tested(e.name, false);
            }
            continue;
        }
        std::uint64_t total = 0;
        std::string cause;
        for (;;) {
            if (abortRequested()) {
                rep.error("", archive, kAborted);
                return;
            }
            const long got = r->read(buf.data(), buf.size());
            if (got < 0) {
                cause = r->error();
                break;
            }
            if (got == 0) break;
            total += static_cast<std::uint64_t>(got);
            if (total > (e.sizeKnown ? e.size : cap)) {
                cause = "the data is longer than the archive declares";
                break;
            }
        }
        if (cause.empty() && e.sizeKnown && !e.isSymlink && total != e.size)
            cause = "the data is shorter than the archive declares";
        if (!cause.empty()) {
            if (e.encrypted && password.empty()) cause = "the entry is encrypted: a password is needed";
            rep.error(e.name, e.name, "Testing Failed", cause);
            rep.tested(e.name, false);
            if (!r->canGoOn()) return;  // the archive is not read again after a fatal error
        } else {
            if (!e.isSymlink && e.method != "special") goodFiles.insert(e.name);
            rep.tested(e.name, true);
        }
    }
}

void convertArchive(const std::string& source, const std::string& target, int formatCode, Reporter& rep) {
    const FormatHandler* h = handlerForCode(formatCode);
    if (!h) {
        rep.failure("", target, "Unknown target format", "format code " + std::to_string(formatCode));
        return;
    }
    if (h == &tarHandler() || h == &tarGzHandler()) {
        // A tar whose target is named as a compressed tar this library writes
        // (".tar.xz", ".tar.zst") is compressed so.
        const FormatHandler* named = handlerForName(target);
        if (named && named->tarFilter() > 0 && (named->capabilities() & kCanCreate)) h = named;
    }
    if (!(h->capabilities() & kCanCreate)) {
        rep.failure("", target, "Cannot create this kind of archive", h->unsupportedReason());
        return;
    }
    if (fs::absolute(source).lexically_normal() == fs::absolute(target).lexically_normal()) {
        rep.failure("", target, "The target is the source", "choose another file name");
        return;
    }
    const FormatHandler* from = nullptr;
    auto r = openArchive(source, {}, rep, &from);
    if (!r) return;
    const auto tarToTar = [&] {
        RawTarReader probe(source, tarFilter(from));
        return probe.isTar() && !probe.emptyTar();
    };
    if (isTarWriter(h) && isTarFamily(from) && tarToTar()) {
        // Tar to tar: every entry as stored.
        r.reset();
        std::vector<EntryInfo> copied;
        const bool made = writeThroughTemp(
            target,
            [&](const fs::path& temp) {
                return writeTar(
                    temp, h == &tarGzHandler(), target,
                    [&](TarSink& sink) {
                        RawTarReader raw(source, tarFilter(from));
                        return copyTarEntries(raw, sink, source, nullptr, nullptr, &copied, rep);
                    },
                    nullptr, rep);
            },
            rep);
        if (made)
            for (const auto& e : copied)
                if (!e.isDir) rep.processed(e);
        return;
    }
    writeThroughTemp(
        target,
        [&](const fs::path& temp) {
            std::string why;
            auto w = h->openWriter(temp, {}, &why);
            if (!w) {
                rep.failure("", target, "Cannot create the archive", why);
                return false;
            }
            if (!copyEntries(*r, *w, *h, source, folderOf(target), nullptr, rep, true)) return false;
            if (!w->finish()) {
                rep.failure("", target, "Cannot complete the archive", w->error());
                return false;
            }
            return true;
        },
        rep);
}

namespace {

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void setLe32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Moves the zip payload's recorded offsets past the program stub in front of it,
// so that every zip reader finds its entries where they are.
bool shiftZipOffsets(int fd, std::uint64_t payloadStart, std::uint64_t fileSize) {
    const std::uint64_t span = std::min<std::uint64_t>(fileSize - payloadStart, 66 * 1024);
    std::vector<unsigned char> tail(span);
    if (pread(fd, tail.data(), span, static_cast<off_t>(fileSize - span)) != static_cast<ssize_t>(span)) return false;
    std::size_t eocd = std::string::npos;
    for (std::size_t i = span >= 22 ? span - 22 + 1 : 0; i-- > 0;)
        if (std::memcmp(&tail[i], "PK\x05\x06", 4) == 0) {
            eocd = i;
            break;
        }
    if (eocd == std::string::npos) return false;
    const std::uint32_t cdSize = le32(&tail[eocd + 12]);
    const std::uint32_t cdOffset = le32(&tail[eocd + 16]);
    if (cdOffset == 0xFFFFFFFFu || cdSize == 0xFFFFFFFFu) return true;  // zip64: readers cope with the prefix
    if (payloadStart + cdOffset + cdSize > fileSize || payloadStart + cdOffset + 0xFFFFFFFFull < payloadStart)
        return false;
    std::vector<unsigned char> cd(cdSize);
    if (cdSize &&
        pread(fd, cd.data(), cdSize, static_cast<off_t>(payloadStart + cdOffset)) != static_cast<ssize_t>(cdSize))
        return false;
    for (std::size_t p = 0; p + 46 <= cd.size();) {
        if (std::memcmp(&cd[p], "PK\x01\x02", 4) != 0) return false;
        const std::uint32_t local = le32(&cd[p + 42]);
        if (local != 0xFFFFFFFFu) setLe32(&cd[p + 42], static_cast<std::uint32_t>(local + payloadStart));
        p +=
            46 + (cd[p + 28] | (cd[p + 29] << 8)) + (cd[p + 30] | (cd[p + 31] << 8)) + (cd[p + 32] | (cd[p + 33] << 8));
    }
    setLe32(&tail[eocd + 16], static_cast<std::uint32_t>(cdOffset + payloadStart));
    if (cdSize &&
        pwrite(fd, cd.data(), cdSize, static_cast<off_t>(payloadStart + cdOffset)) != static_cast<ssize_t>(cdSize))
        return false;
    return pwrite(fd, &tail[eocd + 16], 4, static_cast<off_t>(fileSize - span + eocd + 16)) == 4;
}

bool appendFile(int outFd, const fs::path& from) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return false;
    std::vector<char> buf(64 * 1024);
    bool good = true;
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0) {
            good = false;
            break;
        }
        if (n == 0) break;
        if (::write(outFd, buf.data(), static_cast<std::size_t>(n)) != n) {
            good = false;
            break;
        }
    }
    ::close(in);
    return good;
}

}  // namespace

std::string libraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryFolder), &info) && info.dli_fname) {
        fs::path p = fs::absolute(info.dli_fname).parent_path();
        return p.string();
    }
    return {};
}

void makeSelfExtractor(const std::string& source, const std::string& target, const std::string& stubFolder,
                       Reporter& rep) {
    fs::path stub = fs::path(stubFolder) / kSfxStubName;
    std::error_code ec;
    if (stubFolder.empty() || !fs::is_regular_file(stub, ec)) {
        const fs::path beside = fs::path(libraryFolder()) / kSfxStubName;
        if (!fs::is_regular_file(beside, ec)) {
            rep.error("", target, "Self-extractor stub not found",
                      std::string(kSfxStubName) + " is missing from " + stubFolder);
            return;
        }
        stub = beside;
    }
    const FormatHandler* h = nullptr;
    {
        auto probe = openArchive(source, {}, rep, &h);
        if (!probe) return;
    }
    // The payload: the zip itself, or the archive converted to zip first.
    fs::path payload = source;
    std::string converted;
    const bool isZip = h == &zipHandler() || h == &jarHandler();
    if (!isZip) {
        std::string tmpl = (folderOf(target) / ".qzsfx-XXXXXX").string();
        const int fd = mkstemp(tmpl.data());
        if (fd < 0) {
            rep.error("", target, "Cannot create a temporary file", std::strerror(errno));
            return;
        }
        ::close(fd);
        converted = tmpl;
        const int before = rep.errors();
        convertArchive(source, converted, kFormatZip, rep);
        if (rep.errors() != before) {
            unlink(converted.c_str());
            return;
        }
        payload = converted;
    }
    const bool made = writeThroughTemp(
        target,
        [&](const fs::path& temp) {
            const int fd = ::open(temp.c_str(), O_RDWR | O_TRUNC);
            if (fd < 0) {
                rep.error("", target, "Cannot create the program", std::strerror(errno));
                return false;
            }
            bool good = appendFile(fd, stub);
            const off_t stubSize = lseek(fd, 0, SEEK_CUR);
            good = good && appendFile(fd, payload);
            const off_t total = lseek(fd, 0, SEEK_CUR);
            if (!good) rep.error("", target, "Cannot write the program", "disk full?");
            if (good && !shiftZipOffsets(fd, static_cast<std::uint64_t>(stubSize), static_cast<std::uint64_t>(total))) {
                rep.error("", target, "Cannot build the program", "the zip payload is damaged");
                good = false;
            }
            ::close(fd);
            if (good) chmod(temp.c_str(), 0755);
            return good;
        },
        rep);
    if (made) chmod(target.c_str(), 0755);
    if (!converted.empty()) unlink(converted.c_str());
}

void encodeArchive(const std::string& source, const std::string& target, int method, bool writeTable, Reporter& rep) {
    if (method != kEncodeUU && method != kEncodeXX) {
        rep.error("", target, "Unknown encoding", "method " + std::to_string(method));
        return;
    }
    FileSource in(source);
    if (!in.ok() || !fs::is_regular_file(source)) {
        rep.error("", source, "Archive Not Found", source);
        return;
    }
    const std::string name = filePart(source);
    writeThroughTemp(
        target,
        [&](const fs::path& temp) {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            std::string why;
            if (!encodeText(method == kEncodeUU ? TextCode::UU : TextCode::XX, writeTable, name, 0644, in, out, &why)) {
                rep.error(name, source, "Cannot encode the archive", why);
                return false;
            }
            out.close();
            if (!out) {
                rep.error(name, target, "Cannot write the encoded file", "disk full?");
                return false;
            }
            return true;
        },
        rep);
}

int fileCount(const std::string& archive) {
    struct stat st {};
    if (stat(archive.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    const FormatHandler* h = handlerForFile(archive);
    if (!h) return -1;
    // Only content decides: a file no format bids for is no archive, whatever its name.
    const auto head = readHead(archive);
    if (h->bid(head.data(), head.size(), archive) <= 0) return -1;
    // Formats read by an outside program are counted from its list, never unpacked.
    if (const auto quick = h->quickCount(archive)) return *quick;
    std::string why;
    auto r = h->openReader(archive, {}, &why);
    if (!r) return -1;
    int count = 0;
    EntryInfo e;
    for (;;) {
        const int n = r->next(e);
        if (n < 0) return count > 0 ? count : -1;
        if (n == 0) return count;
        if (!e.isDir) ++count;
    }
}

std::vector<TextMatch> findText(const std::string& archive, const std::string& text, bool matchCase, Reporter& rep) {
    std::vector<TextMatch> found;
    if (text.empty()) return found;
    auto r = openArchive(archive, {}, rep);
    if (!r) return found;
    const std::string needle = matchCase ? text : toLower(text);
    constexpr std::size_t kMaxLine = 64 * 1024;
    EntryInfo e;
    std::vector<char> buf(64 * 1024);
    for (;;) {
        if (abortRequested()) break;
        const int n = r->next(e);
        if (n <= 0) {
            if (n < 0) rep.error("", archive, "Damaged archive", r->error());
            break;
        }
        if (e.isDir || e.isSymlink || e.isHardlink) continue;
        std::string line;
        unsigned lineNo = 1;
        bool binary = false;
        auto check = [&]() {
            const std::string hay = matchCase ? line : toLower(line);
            if (hay.find(needle) != std::string::npos) {
                std::string shown = line;
                if (!shown.empty() && shown.back() == '\r') shown.pop_back();
                found.push_back({e.name, lineNo, shown});
                rep.searchMatch(e.name, lineNo, shown);
            }
        };
        for (;;) {
            const long got = r->read(buf.data(), buf.size());
            if (got <= 0) {
                if (got < 0) rep.error(e.name, e.name, "Cannot read the entry", r->error());
                break;
            }
            for (long i = 0; i < got; ++i) {
                const char c = buf[static_cast<std::size_t>(i)];
                if (c == 0) {
                    binary = true;
                    break;
                }
                if (c == '\n') {
                    check();
                    line.clear();
                    ++lineNo;
                } else if (line.size() < kMaxLine) {
                    line.push_back(c);
                }
            }
            if (binary) break;
        }
        if (!binary && !line.empty()) check();
    }
    return found;
}

}  // namespace quarva::formatlib
