#include "platform/AtomicFile.h"

#include "platform/Interrupt.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quarva::platform {

namespace {

constexpr char kPrefix[] = ".qz";
constexpr std::size_t kRandomChars = 12;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::error_code lastError() { return {errno, std::generic_category()}; }

bool isTemporaryName(const char* name) {
    if (std::strncmp(name, kPrefix, 3) != 0 || std::strlen(name) != 3 + kRandomChars) return false;
    for (const char* p = name + 3; *p; ++p)
        if (!std::strchr(kAlphabet, *p)) return false;
    return true;
}

// The kernel's randomness, fetched for many names at once (an extraction makes one
// temporary per file).
bool randomBytes(unsigned char* out, std::size_t n) {
    thread_local unsigned char pool[kRandomChars * 32];
    thread_local std::size_t left = 0;
    if (left < n) {
        if (getrandom(pool, sizeof pool, 0) != static_cast<ssize_t>(sizeof pool)) return false;
        left = sizeof pool;
    }
    std::memcpy(out, pool + sizeof pool - left, n);
    left -= n;
    return true;
}

std::string temporaryName() {
    unsigned char bytes[kRandomChars];
    if (!randomBytes(bytes, sizeof bytes)) {
        // Without the kernel's randomness, the time and the process make a name that
        // O_EXCL still guards.
        unsigned long seed = static_cast<unsigned long>(time(nullptr)) ^ (static_cast<unsigned long>(getpid()) << 16);
        for (auto& b : bytes)
            b = static_cast<unsigned char>(seed = seed * 6364136223846793005ul + 1442695040888963407ul);
    }
    std::string name = kPrefix;
    for (unsigned char b : bytes) name += kAlphabet[b % (sizeof kAlphabet - 1)];
    return name;
}

// The permission bits a new file gets from the process's umask. Read once: an
// extraction opens one atomic file per entry, and the suite never changes its umask.
mode_t currentUmask() {
    static const mode_t mask = [] {
        std::ifstream in("/proc/self/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
        return static_cast<mode_t>(022);
    }();
    return mask;
}

// Follows `path` through symbolic links to the file that a write should change
// (which may not exist yet: a dangling link's target is created).
bool resolveLinks(fs::path path, fs::path& out, std::error_code& ec) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            out = path;
            return true;
        }
        char buf[PATH_MAX];
        ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
        if (n < 0) {
            ec = lastError();
            return false;
        }
        fs::path target(std::string(buf, static_cast<std::size_t>(n)));
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return false;
}

fs::path folderPathOf(int dirFd) {
    char buf[PATH_MAX];
    std::string link = "/proc/self/fd/" + std::to_string(dirFd);
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    return n > 0 ? fs::path(std::string(buf, static_cast<std::size_t>(n))) : fs::path();
}

}  // namespace

void removeStaleTemporaries(int dirFd) {
    int scanFd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (scanFd < 0) return;
    DIR* dir = fdopendir(scanFd);
    if (!dir) {
        close(scanFd);
        return;
    }
    while (dirent* e = readdir(dir)) {
        if (!isTemporaryName(e->d_name)) continue;
        // Only our own regular files are opened at all (opening a device can act on it).
        struct stat seen {};
        if (fstatat(dirFd, e->d_name, &seen, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(seen.st_mode) ||
            seen.st_uid != geteuid())
            continue;
        int fd = openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {
        }, now{};
        // A live writer holds the lock; while we hold it, no writer can take this
        // file over, so the name still being this file means it is safe to remove.
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dirFd, e->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_ino == st.st_ino &&
            now.st_dev == st.st_dev)
            unlinkat(dirFd, e->d_name, 0);
        close(fd);
    }
    closedir(dir);
}

AtomicFile::~AtomicFile() { discard(); }

AtomicFile::AtomicFile(AtomicFile&& other) noexcept { *this = std::move(other); }

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
    if (this != &other) {
        discard();
        fd_ = other.fd_;
        dirFd_ = other.dirFd_;
        slot_ = other.slot_;
        replaces_ = other.replaces_;
        mode_ = other.mode_;
        tempName_ = std::move(other.tempName_);
        targetName_ = std::move(other.targetName_);
        tempPath_ = std::move(other.tempPath_);
        targetPath_ = std::move(other.targetPath_);
        other.fd_ = other.dirFd_ = other.slot_ = -1;
        other.reset();
    }
    return *this;
}

bool AtomicFile::open(const fs::path& target, std::error_code& ec, mode_t mode) {
    discard();
    ec.clear();
    fs::path resolved;
    if (!resolveLinks(target, resolved, ec)) return false;
    if (resolved.filename().empty()) {
        ec = std::make_error_code(std::errc::is_a_directory);
        return false;
    }
    fs::path folder = resolved.has_parent_path() ? resolved.parent_path() : fs::path(".");
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        ec = lastError();
        return false;
    }
    if (!start(dirFd, resolved.filename().string(), true, true, mode, ec)) return false;
    targetPath_ = resolved;
    tempPath_ = folder / tempName_;
    return true;
}

bool AtomicFile::openAt(int dirFd, const std::string& name, std::error_code& ec, mode_t mode, bool removeStale) {
    discard();
    ec.clear();
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        ec = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    int own = fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        ec = lastError();
        return false;
    }
    return start(own, name, false, removeStale, mode, ec);
}

const fs::path& AtomicFile::tempPath() const {
    if (tempPath_.empty() && dirFd_ >= 0) tempPath_ = folderPathOf(dirFd_) / tempName_;
    return tempPath_;
}

const fs::path& AtomicFile::targetPath() const {
    if (targetPath_.empty() && dirFd_ >= 0) targetPath_ = folderPathOf(dirFd_) / targetName_;
    return targetPath_;
}

// Takes ownership of `dirFd`; on failure closes it.
bool AtomicFile::start(int dirFd, std::string targetName, bool followLinks, bool removeStale, mode_t mode,
                       std::error_code& ec) {
    dirFd_ = dirFd;
    targetName_ = std::move(targetName);
    if (removeStale) removeStaleTemporaries(dirFd_);

    // The new file gets the old one's permissions (and owner, where we may set it).
    struct stat old {};
    bool haveOld = fstatat(dirFd_, targetName_.c_str(), &old, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
    replaces_ = haveOld;
    if (haveOld && S_ISDIR(old.st_mode)) {
        ec = std::make_error_code(std::errc::is_a_directory);
        reset();
        return false;
    }
    bool keepOld = haveOld && S_ISREG(old.st_mode);
    mode_t finalMode = keepOld ? (old.st_mode & 07777) : (mode & 07777 & ~currentUmask());

    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temporaryName();
        int fd = openat(dirFd_, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            ec = lastError();
            reset();
            return false;
        }
        // A cleaner in another process may have taken this file before our lock; it
        // unlinks while holding the lock, so a file still linked is ours for good.
        struct stat st {};
        if (flock(fd, LOCK_EX) != 0 || fstat(fd, &st) != 0 || st.st_nlink == 0) {
            close(fd);
            continue;
        }
        fd_ = fd;
        tempName_ = name;
        slot_ = registerTemporaryAt(dirFd_, tempName_);
        static const bool root = geteuid() == 0;
        if (keepOld && root && (old.st_uid != st.st_uid || old.st_gid != st.st_gid))
            (void)!fchown(fd_, old.st_uid, old.st_gid);
        mode_ = finalMode;
        if (fchmod(fd_, finalMode) != 0) {
            ec = lastError();
            discard();
            return false;
        }
        return true;
    }
    ec = std::make_error_code(std::errc::file_exists);
    reset();
    return false;
}

bool AtomicFile::write(const void* data, std::size_t size, std::error_code& ec) {
    ec.clear();
    if (fd_ < 0) {
        ec = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            ec = lastError();
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::commit(std::error_code& ec, Flush flush) {
    ec.clear();
    if (fd_ < 0) {
        ec = std::make_error_code(std::errc::bad_file_descriptor);
        return false;
    }
    if ((flush != Flush::None && fsync(fd_) != 0) ||
        renameat(dirFd_, tempName_.c_str(), dirFd_, targetName_.c_str()) != 0) {
        ec = lastError();
        return false;
    }
    unregisterTemporary(slot_);
    slot_ = -1;
    if (flush == Flush::All)
        fsync(dirFd_);  // the rename itself reaches the disk; a failure here changes nothing we could undo
    close(fd_);
    fd_ = -1;
    reset();
    return true;
}

void AtomicFile::discard() {
    if (fd_ >= 0) {
        // Remove the name only while it is still our file.
        struct stat mine {
        }, now{};
        if (fstat(fd_, &mine) == 0 && fstatat(dirFd_, tempName_.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            mine.st_ino == now.st_ino && mine.st_dev == now.st_dev)
            unlinkat(dirFd_, tempName_.c_str(), 0);
        unregisterTemporary(slot_);
        slot_ = -1;
        close(fd_);
        fd_ = -1;
    }
    reset();
}

void AtomicFile::reset() {
    if (slot_ >= 0) unregisterTemporary(slot_);
    slot_ = -1;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (dirFd_ >= 0) close(dirFd_);
    dirFd_ = -1;
    tempName_.clear();
    targetName_.clear();
    tempPath_.clear();
    targetPath_.clear();
    replaces_ = false;
    mode_ = 0;
}

}  // namespace quarva::platform
