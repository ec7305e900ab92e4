// The hive files: read under a shared lock and kept parsed while unchanged, written
// under an exclusive lock by replacing the file atomically; damaged hives set aside.
#include "platform/linux/RegistryStore.h"

#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quarva::platform::registry_store {

namespace {

struct FileDescriptor {
    int fd = -1;
    FileDescriptor() = default;
    explicit FileDescriptor(int f) : fd(f) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads all of an open file; false with errno set on failure.
bool readAll(int fd, std::string* out) {
    out->clear();
    char buf[65536];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out->append(buf, static_cast<std::size_t>(n));
    }
}

// Holds flock on "<hive>.lock" for as long as it lives.
class HiveLock {
public:
    // Exclusive locks create the folder and the lock file; a shared lock that
    // cannot be had (folder missing or read-only) is skipped, since writers
    // replace the hive atomically anyway.
    HiveLock(const fs::path& lockFile, bool exclusive) {
        if (exclusive) {
            std::error_code ec;
            fs::create_directories(lockFile.parent_path(), ec);
            if (ec) {
                error_ = errorFromErrno(ec.value());
                return;
            }
        }
        fd_.fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_.fd < 0 && !exclusive) fd_.fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_.fd < 0) {
            if (exclusive) error_ = errorFromErrno(errno);
            return;
        }
        while (::flock(fd_.fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
            if (errno == EINTR) continue;
            if (exclusive) error_ = errorFromErrno(errno);
            return;
        }
    }
    long error() const { return error_; }

private:
    FileDescriptor fd_;
    long error_ = kErrorSuccess;
};

fs::path lockFileFor(const fs::path& folder, Hive hive) { return folder / (std::string(hiveName(hive)) + ".lock"); }

enum class Load { Ok, Corrupt, Failed };

std::atomic<std::uint64_t> g_hiveParses{0};

// Parses a hive file's text into `root`. Blank text is an empty hive.
Load parseHive(std::string_view text, Hive hive, Key& root, std::string* error) {
    root = Key(hiveName(hive));
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return Load::Ok;
    ++g_hiveParses;
    Parsed parsed = parseRegText(text);
    if (!parsed.error.empty()) {
        *error = parsed.error;
        return Load::Corrupt;
    }
    for (const auto& op : parsed.ops) {
        if (op.hive != hive) {
            *error = "holds keys of another hive";
            return Load::Corrupt;
        }
        applyOp(root, op);
    }
    return Load::Ok;
}

// Reads and parses a hive file into `root`. A missing file is an empty hive.
Load loadHive(const fs::path& file, Hive hive, Key& root, std::string* error, int* err) {
    root = Key(hiveName(hive));
    std::string text;
    if (!readWhole(file, &text)) {
        if (errno == ENOENT) return Load::Ok;
        *err = errno;
        return Load::Failed;
    }
    return parseHive(text, hive, root, error);
}

// Readers only mention a damaged hive once per process; the next write sets it aside.
void noteUnreadable(const fs::path& file, const std::string& why) {
    static std::mutex mutex;
    static std::set<std::string> noted;
    std::lock_guard<std::mutex> lock(mutex);
    if (!noted.insert(file.string()).second) return;
    std::fprintf(
        stderr,
        "quarva: the registry hive %s cannot be read (%s); it counts as empty until the next change sets it aside\n",
        file.c_str(), why.c_str());
}

// Parsed hives, kept while their file stays the same. The cache holds the parsed
// file open, so its inode number cannot be handed to a newer hive file: the same
// device, inode, size and times mean the same contents.
class HiveCache {
public:
    using Root = std::shared_ptr<const Key>;

    Root find(const fs::path& file, const struct stat& now) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = entries_.find(file.string());
        if (it == entries_.end() || !same(it->second.st, now)) return nullptr;
        return it->second.root;
    }

    // `fd` is the open hive file that `root` was parsed from; the cache takes it.
    void store(const fs::path& file, int fd, Root root) {
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            ::close(fd);
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (entries_.size() >= kMaxEntries && !entries_.count(file.string())) {
            ::close(entries_.begin()->second.fd);
            entries_.erase(entries_.begin());
        }
        Entry& e = entries_[file.string()];
        if (e.fd >= 0) ::close(e.fd);
        e = Entry{st, fd, std::move(root)};
    }

private:
    struct Entry {
        struct stat st {};
        int fd = -1;
        Root root;
    };
    static bool same(const struct stat& a, const struct stat& b) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
               a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
               a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
    }
    static constexpr std::size_t kMaxEntries = 16;
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

HiveCache& hiveCache() {
    static HiveCache* cache = new HiveCache;  // never destroyed: readers may run during exit
    return *cache;
}

// A machine-wide default hive is used only while it and its folder belong to root
// (or to the user) and no one else may change them.
bool trustedDefaults(const fs::path& defaults, struct stat* st) {
    auto owned = [](const struct stat& s) {
        return (s.st_uid == 0 || s.st_uid == ::geteuid()) && (s.st_mode & 022) == 0;
    };
    struct stat folder {};
    return !defaults.empty() && ::stat(defaults.parent_path().c_str(), &folder) == 0 && owned(folder) &&
           ::stat(defaults.c_str(), st) == 0 && S_ISREG(st->st_mode) && owned(*st);
}

// A user's hive that does not exist yet reads as the machine-wide default hive,
// when there is one; the user's first write starts from a copy of it.
Load loadDefaults(const fs::path& defaults, Hive hive, Key& root) {
    root = Key(hiveName(hive));
    struct stat st {};
    std::string text, error;
    if (!trustedDefaults(defaults, &st) || !readWhole(defaults, &text)) return Load::Ok;
    if (parseHive(text, hive, root, &error) == Load::Ok) return Load::Ok;
    noteUnreadable(defaults, error);
    root = Key(hiveName(hive));
    return Load::Ok;
}

// Moves an unparsable hive out of the way, keeping it for the user.
bool setAside(const fs::path& file, const std::string& why) {
    std::string base = file.string() + ".corrupt-" + std::to_string(static_cast<long long>(std::time(nullptr)));
    std::string target = base;
    std::error_code ec;
    for (int n = 1; fs::exists(target, ec); ++n) target = base + "-" + std::to_string(n);
    if (::rename(file.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "quarva: the registry hive %s cannot be read (%s) and cannot be set aside: %s\n",
                     file.c_str(), why.c_str(), std::strerror(errno));
        return false;
    }
    std::fprintf(stderr,
                 "quarva: the registry hive %s cannot be read (%s); it was set aside as %s and an empty hive is used\n",
                 file.c_str(), why.c_str(), target.c_str());
    return true;
}

// Removes temp files that writers killed half-way left behind: those of the atomic
// writer (no lock held), and those named after the hive by earlier versions. Only
// called under the exclusive lock, when no other writer can have one open.
void removeStaleTemps(const fs::path& folder, const fs::path& file) {
    FileDescriptor d(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.fd >= 0) removeStaleTemporaries(d.fd);
    std::string prefix = file.filename().string() + ".tmp-";
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.starts_with(prefix)) {
            std::error_code rm;
            fs::remove(it->path(), rm);
        }
    }
}

}  // namespace

long errorFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR: return kErrorFileNotFound;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    default: return kErrorAccessDenied;
    }
}

// Reads a whole file; false with errno set on failure.
bool readWhole(const fs::path& path, std::string* out) {
    FileDescriptor f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return f.fd >= 0 && readAll(f.fd, out);
}

// Replaces `target` with `content` so that readers see either the old file or the
// new one, never a part (a link as the target is written through, and stays).
long replaceFile(const fs::path& target, std::string_view content, mode_t mode) {
    AtomicFile file;
    std::error_code ec;
    if (!file.open(target, ec, mode) || !file.write(content.data(), content.size(), ec) || !file.commit(ec))
        return errorFromErrno(ec.value());
    return kErrorSuccess;
}

std::uint64_t hiveParseCount() { return g_hiveParses.load(); }

std::shared_ptr<const Key> readHive(const fs::path& folder, const fs::path& file, Hive hive, const fs::path& defaults) {
    struct stat now {};
    if (::stat(file.c_str(), &now) != 0) {
        if (errno != ENOENT || !trustedDefaults(defaults, &now)) return std::make_shared<const Key>(hiveName(hive));
        auto root = std::make_shared<Key>(hiveName(hive));
        loadDefaults(defaults, hive, *root);
        return root;
    }
    if (auto cached = hiveCache().find(file, now)) return cached;

    HiveLock lock(lockFileFor(folder, hive), false);
    auto root = std::make_shared<Key>(hiveName(hive));
    FileDescriptor f(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (f.fd < 0 || !readAll(f.fd, &text)) {
        if (errno != ENOENT) noteUnreadable(file, std::strerror(errno));
        return root;
    }
    std::string error;
    if (parseHive(text, hive, *root, &error) == Load::Corrupt) {
        noteUnreadable(file, error);
        *root = Key(hiveName(hive));
    }
    hiveCache().store(file, f.fd, root);
    f.fd = -1;
    return root;
}

long modifyHive(const fs::path& folder, const fs::path& file, Hive hive, const fs::path& defaults,
                const std::function<long(Key&)>& change) {
    HiveLock lock(lockFileFor(folder, hive), true);
    if (lock.error() != kErrorSuccess) return lock.error();
    auto root = std::make_shared<Key>(hiveName(hive));
    std::string error;
    int err = 0;
    struct stat existing {};
    const bool fresh = ::stat(file.c_str(), &existing) != 0 && errno == ENOENT;
    switch (fresh ? loadDefaults(defaults, hive, *root) : loadHive(file, hive, *root, &error, &err)) {
    case Load::Ok: break;
    case Load::Corrupt:
        if (!setAside(file, error)) return kErrorAccessDenied;
        *root = Key(hiveName(hive));
        break;
    case Load::Failed: return errorFromErrno(err);
    }
    // Under the lock no other writer has a temp file open: whatever is left belongs to
    // a writer that died, also when this write turns out to change nothing.
    removeStaleTemps(folder, file);
    long result = change(*root);
    if (result == kUnchanged) return kErrorSuccess;
    if (result != kErrorSuccess) return result;
    struct stat st {};
    mode_t mode = ::stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    long rc = replaceFile(file, regText(*root, hiveName(hive), false), mode);
    // Still under the lock: the file just written is the one to remember.
    if (int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC); rc == kErrorSuccess && fd >= 0)
        hiveCache().store(file, fd, std::move(root));
    else if (fd >= 0) ::close(fd);
    return rc;
}

std::optional<RegistryValue> lookup(const fs::path& folder, const fs::path& file, Hive hive, const fs::path& defaults,
                                    std::string_view key, std::string_view name) {
    KeyPath path;
    if (!splitKeyPath(key, &path)) return std::nullopt;
    auto root = readHive(folder, file, hive, defaults);
    const Key* k = findKey(*root, path);
    if (!k) return std::nullopt;
    const RegistryValue* v = k->value(name);
    if (!v) return std::nullopt;
    return *v;
}

std::string describe(long rc) {
    switch (rc) {
    case kErrorFileNotFound: return "the file or folder does not exist";
    case kErrorDiskFull: return "the disk is full";
    case kErrorAccessDenied: return "access denied";
    default: return "error " + std::to_string(rc);
    }
}

}  // namespace quarva::platform::registry_store
