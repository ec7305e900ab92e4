#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mntent.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace quarva::platform {

namespace {

// The private temporary folder, or empty with the reason in `problem`. The folder
// is opened without following a link and judged by fstat of that very descriptor,
// so nothing can be swapped in between the check and the answer.
fs::path privateTempFolder(std::string& problem) {
    // The runtime folder counts only when it is what it claims to be: a folder of
    // ours (not, say, another user's one left in the environment by sudo).
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat rt {};
    bool useRuntime =
        runtime && runtime[0] == '/' && ::stat(runtime, &rt) == 0 && S_ISDIR(rt.st_mode) && rt.st_uid == geteuid();
    fs::path folder =
        useRuntime ? fs::path(runtime) / "quarva" : fs::path("/tmp") / ("quarva-" + std::to_string(geteuid()));
    const std::string shown = folder.string();
    bool created = mkdir(folder.c_str(), 0700) == 0;
    if (!created && errno != EEXIST) {
        problem = "The temporary folder " + shown + " cannot be created: " + std::strerror(errno) + ".";
        return {};
    }
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        struct stat st {};
        if (lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            problem = "The temporary folder " + shown + " is a symbolic link; it is not used. Remove it and try again.";
        else if (err == ENOTDIR)
            problem = "The temporary folder " + shown + " is not a folder; it is not used. Remove it and try again.";
        else problem = "The temporary folder " + shown + " cannot be opened: " + std::strerror(err) + ".";
        return {};
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        problem = "The temporary folder " + shown + " cannot be read: " + std::strerror(errno) + ".";
        close(fd);
        return {};
    }
    if (created && (st.st_mode & 07777) != 0700 && st.st_uid == geteuid()) {
        fchmod(fd, 0700);  // the umask may have taken bits away; never added any
        st.st_mode = (st.st_mode & ~07777) | 0700;
    }
    close(fd);
    if (st.st_uid != geteuid()) {
        problem =
            "The temporary folder " + shown + " belongs to another user; it is not used. Remove it and try again.";
        return {};
    }
    if ((st.st_mode & 07777) != 0700) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        problem =
            "The temporary folder " + shown + " has mode " + mode +
            " instead of 0700 (private to its owner); it is not used. Remove it or make it private and try again.";
        return {};
    }
    problem.clear();
    return folder;
}

}  // namespace

fs::path tempFolder() {
    std::string problem;
    return privateTempFolder(problem);
}

std::string tempFolderProblem() {
    std::string problem;
    privateTempFolder(problem);
    return problem;
}

fs::path currentDirectory() {
    std::error_code ec;
    auto p = fs::current_path(ec);
    return ec ? fs::path() : p;
}

namespace {

fs::path normalise(const fs::path& path) {
    std::error_code ec;
    fs::path abs = fs::absolute(path, ec);
    if (ec) abs = path;
    fs::path canon = fs::weakly_canonical(abs, ec);
    return (ec ? abs : canon).lexically_normal();
}

bool isWithin(const fs::path& path, const fs::path& root) {
    auto rel = path.lexically_relative(root);
    return !rel.empty() && *rel.begin() != "..";
}

std::string stripSlash(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// Folders that tests and users declare as removable drive roots.
std::vector<fs::path> removableRoots() {
    std::vector<fs::path> roots;
    const char* v = std::getenv("QUARVA_REMOVABLE_ROOTS");
    if (!v) return roots;
    std::stringstream ss(v);
    std::string item;
    while (std::getline(ss, item, ':'))
        if (!item.empty()) roots.push_back(fs::path(stripSlash(normalise(item).string())));
    return roots;
}

struct Mount {
    fs::path dir;
    std::string device, type;
};

// The mount holding `path`: the longest mount point that contains it.
std::optional<Mount> mountOf(const fs::path& path) {
    FILE* f = setmntent("/proc/self/mounts", "r");
    if (!f) return std::nullopt;
    std::optional<Mount> best;
    while (mntent* m = getmntent(f)) {
        fs::path dir = m->mnt_dir;
        if (path == dir || isWithin(path, dir)) {
            if (!best || dir.string().size() >= best->dir.string().size())
                best = Mount{dir, m->mnt_fsname, m->mnt_type};
        }
    }
    endmntent(f);
    return best;
}

bool isNetworkType(const std::string& type) {
    static const char* const kinds[] = {"nfs", "nfs4", "cifs", "smb3",      "smbfs", "fuse.sshfs",
                                        "9p",  "afs",  "ceph", "glusterfs", "davfs", "fuse.rclone"};
    for (auto* k : kinds)
        if (type == k) return true;
    return false;
}

// Whether the block device behind `path` is marked removable by the kernel.
bool sysfsRemovable(const fs::path& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    unsigned maj = major(st.st_dev), min = minor(st.st_dev);
    if (maj == 0) return false;  // virtual file systems
    std::error_code ec;
    fs::path dev = fs::canonical("/sys/dev/block/" + std::to_string(maj) + ":" + std::to_string(min), ec);
    if (ec) return false;
    // A partition's "removable" flag lives on its parent disk.
    for (fs::path p = dev; p.has_parent_path() && p != p.parent_path(); p = p.parent_path()) {
        std::ifstream in(p / "removable");
        int flag = 0;
        if (in >> flag) return flag == 1 || p.string().find("/usb") != std::string::npos;
        if (p.filename() == "block") break;
    }
    return false;
}

}  // namespace

fs::path driveRoot(const fs::path& path) {
    fs::path p = fs::path(stripSlash(normalise(path).string()));
    fs::path best;
    for (const auto& root : removableRoots())
        if ((p == root || isWithin(p, root)) && root.string().size() > best.string().size()) best = root;
    if (auto m = mountOf(p); m && m->dir.string().size() > best.string().size()) best = m->dir;
    return best.empty() ? fs::path("/") : best;
}

bool isDriveRoot(const fs::path& path) {
    fs::path p = fs::path(stripSlash(normalise(path).string()));
    return driveRoot(p) == p;
}

DriveType driveType(const fs::path& path) {
    fs::path p = fs::path(stripSlash(normalise(path).string()));
    for (const auto& root : removableRoots())
        if (p == root || isWithin(p, root)) return DriveType::Removable;
    std::error_code ec;
    fs::path probe = p;
    while (!fs::exists(probe, ec) && probe.has_parent_path() && probe != probe.parent_path())
        probe = probe.parent_path();
    auto m = mountOf(probe);
    if (!m) return DriveType::NoRootDir;
    if (isNetworkType(m->type)) return DriveType::Remote;
    if (m->type == "iso9660" || m->type == "udf") return DriveType::CdRom;
    if (sysfsRemovable(probe)) return DriveType::Removable;
    if (m->type == "tmpfs" || m->type == "ramfs") return DriveType::RamDisk;
    return DriveType::Fixed;
}

std::optional<std::uint64_t> freeSpace(const fs::path& path) {
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

std::uint32_t fileAttributes(const fs::path& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return kInvalidAttributes;
    std::uint32_t a = 0;
    if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
    else if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) a |= kAttrSystem;
    if (access(path.c_str(), W_OK) != 0 && errno == EACCES) a |= kAttrReadOnly;
    if (!(st.st_mode & S_IWUSR)) a |= kAttrReadOnly;
    std::string name = path.filename().string();
    if (name.size() > 1 && name[0] == '.' && name != "..") a |= kAttrHidden;
    if (a == 0) a = kAttrNormal;
    else if (!(a & kAttrDirectory)) a |= kAttrArchive;
    return a;
}

bool setFileAttributes(const fs::path& path, std::uint32_t attributes) {
    std::error_code ec;
    auto perms = fs::status(path, ec).permissions();
    if (ec) return false;
    if (attributes & kAttrReadOnly)
        perms &= ~(fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
    else perms |= fs::perms::owner_write;
    fs::permissions(path, perms, fs::perm_options::replace, ec);
    return !ec;
}

int systemErrorFromErrno(int err, bool writing) {
    switch (err) {
    case 0: return 0;
    case ENOENT: return syserr::kFileNotFound;
    case ENOTDIR: return syserr::kPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return syserr::kAccessDenied;
    case EROFS: return syserr::kWriteProtect;
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV: return syserr::kNotReady;
    case EMEDIUMTYPE: return syserr::kNotDosDisk;
    case ESPIPE: return syserr::kSeek;
    case EIO: return writing ? syserr::kWriteFault : syserr::kReadFault;
    case EBUSY:
    case ETXTBSY: return syserr::kSharingViolation;
    case EAGAIN:
    case EDEADLK: return syserr::kLockViolation;
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case ECONNRESET:
    case EHOSTDOWN: return syserr::kAdapterHardware;
    case ENAMETOOLONG: return syserr::kBufferOverflow;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return syserr::kDiskFull;
    case EINVAL:
    case EILSEQ: return syserr::kBadPathname;
    case ELOOP: return syserr::kStackOverflow;
    case ESTALE: return syserr::kFileInvalid;
    case EEXIST: return syserr::kFileExists;
    default: return syserr::kIoDevice;
    }
}

int lastSystemError(bool writing) { return systemErrorFromErrno(errno, writing); }

}  // namespace quarva::platform
