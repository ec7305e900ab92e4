#include "platform/SafeDestination.h"

#include "platform/SafePath.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quarva::platform {

namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

bool validComponent(const std::string& c) {
    return !c.empty() && c != "." && c != ".." && c.find('/') == std::string::npos && c.find('\0') == std::string::npos;
}

// Opens each folder of components[from, count) beneath `startFd` (the folder of
// components[0, from)), never following a link.
int walk(int startFd, const std::vector<std::string>& components, std::size_t count, bool create, std::error_code& ec,
         std::size_t from = 0) {
    int fd = fcntl(startFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        ec = lastError();
        return -1;
    }
    for (std::size_t i = from; i < count; ++i) {
        const std::string& c = components[i];
        if (!validComponent(c)) {
            close(fd);
            ec = std::make_error_code(std::errc::invalid_argument);
            return -1;
        }
        // Opened first: a folder that is there already (the usual case) costs one call.
        int next = openat(fd, c.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && create) {
            if (mkdirat(fd, c.c_str(), 0777) != 0 && errno != EEXIST) {
                ec = lastError();
                close(fd);
                return -1;
            }
            next = openat(fd, c.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (next < 0) {
            int err = errno;
            struct stat st {};
            if (fstatat(fd, c.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
                ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
            else ec = {err, std::generic_category()};
            close(fd);
            return -1;
        }
        close(fd);
        fd = next;
    }
    return fd;
}

std::string joined(const std::vector<std::string>& components) {
    std::string s;
    for (const auto& c : components) {
        if (!s.empty()) s += '/';
        s += c;
    }
    return s;
}

std::string temporaryName() {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[12] = {};
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        for (unsigned i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(getpid() * 31 + i * 7 + time(nullptr));
    std::string name = ".qz";
    for (unsigned char b : bytes) name += alphabet[b % (sizeof alphabet - 1)];
    return name;
}

// Makes an entry under a short temporary name with `make`, then renames it over
// `name`, so an existing file or link of that name is replaced in one step.
template <typename Make>
bool makeThenRename(int dirFd, const std::string& name, std::error_code& ec, Make make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = temporaryName();
        if (make(temp.c_str()) != 0) {
            if (errno == EEXIST) continue;
            ec = lastError();
            return false;
        }
        if (renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0) {
            ec = lastError();
            unlinkat(dirFd, temp.c_str(), 0);
            return false;
        }
        return true;
    }
    ec = std::make_error_code(std::errc::file_exists);
    return false;
}

}  // namespace

SafeDestination::~SafeDestination() {
    forgetFolder();
    if (rootFd_ >= 0) close(rootFd_);
}

void SafeDestination::forgetFolder() const {
    if (folderFd_ >= 0) close(folderFd_);
    folderFd_ = -1;
    folderPath_.clear();
    folderCleaned_ = false;
}

int SafeDestination::folder(const std::vector<std::string>& components, std::size_t count, bool create,
                            std::error_code& ec) const {
    ec.clear();
    // A folder removed since (and perhaps replaced by a link) is walked to afresh.
    struct stat st {};
    if (folderFd_ >= 0 && (fstat(folderFd_, &st) != 0 || st.st_nlink == 0)) forgetFolder();
    // From the folder reached last when the wanted one lies in it, else from the root.
    const bool inside = folderFd_ >= 0 && folderPath_.size() <= count &&
                        std::equal(folderPath_.begin(), folderPath_.end(), components.begin());
    if (inside && folderPath_.size() == count) return folderFd_;
    const int fd = inside ? walk(folderFd_, components, count, create, ec, folderPath_.size())
                          : walk(rootFd_, components, count, create, ec);
    if (fd < 0) return -1;
    forgetFolder();
    folderFd_ = fd;
    folderPath_.assign(components.begin(), components.begin() + std::ptrdiff_t(count));
    return fd;
}

bool SafeDestination::open(const fs::path& root, std::error_code& ec) {
    ec.clear();
    forgetFolder();
    if (rootFd_ >= 0) close(rootFd_);
    rootFd_ = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd_ < 0) {
        ec = lastError();
        return false;
    }
    root_ = root;
    return true;
}

int SafeDestination::openFolder(const std::vector<std::string>& components, bool create, std::error_code& ec) {
    ec.clear();
    if (rootFd_ < 0) {
        ec = std::make_error_code(std::errc::bad_file_descriptor);
        return -1;
    }
    std::lock_guard<std::mutex> hold(folderLock_);
    const int fd = folder(components, components.size(), create, ec);
    if (fd < 0) return -1;
    const int owned = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (owned < 0) ec = lastError();
    return owned;
}

bool SafeDestination::createFile(const std::vector<std::string>& components, AtomicFile& file, std::error_code& ec,
                                 mode_t mode, bool* existed) {
    ec.clear();
    if (components.empty() || rootFd_ < 0) {
        ec = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    std::lock_guard<std::mutex> hold(folderLock_);
    const int dirFd = folder(components, components.size() - 1, true, ec);
    if (dirFd < 0) return false;
    // The folder held open was looked through already when it was last written into.
    bool first = false;
    if (!folderCleaned_) {
        struct stat st {};
        first = fstat(dirFd, &st) != 0 || cleaned_.insert({st.st_dev, st.st_ino}).second;
        folderCleaned_ = true;
    }
    const bool ok = file.openAt(dirFd, components.back(), ec, mode, first);
    if (existed) *existed = ok && file.replaces();
    return ok;
}

bool SafeDestination::createFolder(const std::vector<std::string>& components, std::error_code& ec) {
    int fd = openFolder(components, true, ec);
    if (fd < 0) return false;
    close(fd);
    return true;
}

bool SafeDestination::createSymlink(const std::vector<std::string>& components, const std::string& target,
                                    std::error_code& ec) {
    ec.clear();
    if (components.empty() || rootFd_ < 0) {
        ec = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    if (!linkTargetInside(joined(components), target)) {
        ec = std::make_error_code(std::errc::permission_denied);
        return false;
    }
    int dirFd = walk(rootFd_, components, components.size() - 1, true, ec);
    if (dirFd < 0) return false;
    if (!validComponent(components.back())) {
        close(dirFd);
        ec = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    bool ok = makeThenRename(dirFd, components.back(), ec,
                             [&](const char* temp) { return symlinkat(target.c_str(), dirFd, temp); });
    close(dirFd);
    return ok;
}

bool SafeDestination::createHardLink(const std::vector<std::string>& components,
                                     const std::vector<std::string>& existing, std::error_code& ec) {
    ec.clear();
    if (components.empty() || existing.empty() || rootFd_ < 0 || !validComponent(components.back()) ||
        !validComponent(existing.back())) {
        ec = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    int fromFd = walk(rootFd_, existing, existing.size() - 1, false, ec);
    if (fromFd < 0) return false;
    int toFd = walk(rootFd_, components, components.size() - 1, true, ec);
    if (toFd < 0) {
        close(fromFd);
        return false;
    }
    // Flags 0: a link named `existing` is linked itself, never followed out of the root.
    bool ok = makeThenRename(toFd, components.back(), ec,
                             [&](const char* temp) { return linkat(fromFd, existing.back().c_str(), toFd, temp, 0); });
    close(fromFd);
    close(toFd);
    return ok;
}

bool SafeDestination::exists(const std::vector<std::string>& components) const {
    if (components.empty() || rootFd_ < 0 || !validComponent(components.back())) return false;
    std::error_code ec;
    std::lock_guard<std::mutex> hold(folderLock_);
    const int dirFd = folder(components, components.size() - 1, false, ec);
    struct stat st {};
    return dirFd >= 0 && fstatat(dirFd, components.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace quarva::platform
