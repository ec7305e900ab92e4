#include "archive/core/DeletionList.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {

// The components of `line` below `folder`, or nothing when the line is not a full
// path strictly inside it, or names ".." anywhere.
std::vector<std::string> componentsInside(const std::string& line, const fs::path& folder) {
    const fs::path path(line);
    if (!path.is_absolute()) return {};
    for (const auto& part : path)
        if (part == "..") return {};
    const fs::path relative = path.lexically_normal().lexically_relative(folder);
    std::vector<std::string> parts;
    for (const auto& part : relative) {
        if (part.empty() || part == "." || part == "..") return {};
        parts.push_back(part.string());
    }
    return parts;
}

// Deletes folder/parts..., walking one folder at a time without following a link.
// True when the file is gone (or never was, or could only be reached through a
// link, which is not ours to follow); false when it stays behind.
bool removeInside(const fs::path& folder, const std::vector<std::string>& parts) {
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) return errno == ENOENT;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        int next = ::openat(dir, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno;
        ::close(dir);
        // Gone, or a link or a file where a folder should be: nothing to delete there.
        if (next < 0) return err == ENOENT || err == ELOOP || err == ENOTDIR;
        dir = next;
    }
    const char* name = parts.back().c_str();
    // Unlinking a link deletes the link, never what it points to. A read-only file
    // needs no change first: deleting it takes write access to the folder only.
    bool gone = ::unlinkat(dir, name, 0) == 0 || errno == ENOENT;
    if (!gone && (errno == EISDIR || errno == EPERM)) gone = ::unlinkat(dir, name, AT_REMOVEDIR) == 0;
    if (!gone) {
        struct stat st {};
        gone = ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
    }
    ::close(dir);
    return gone;
}

}  // namespace

CDeletionList::~CDeletionList() {
    if (fd_ >= 0) ::close(fd_);
}

bool CDeletionList::open(const fs::path& folder) {
    folder_ = folder.lexically_normal();
    path_ = folder_ / kDeletionListName;
    // O_APPEND: every line goes to the end, also when another run appends at the
    // same time. O_NONBLOCK: a fifo in its place cannot hold the program.
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool CDeletionList::append(const std::string& filePath) {
    if (fd_ < 0) return false;
    const std::string line = filePath + "\r\n";
    // One write per line, so that lines of two runs never interleave.
    return ::write(fd_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

bool CDeletionList::deleteRecordedFiles() {
    if (fd_ < 0) return false;
    // Read back through the descriptor opened at start, not by name again.
    std::string text;
    char buffer[8192];
    off_t offset = 0;
    for (ssize_t n; (n = ::pread(fd_, buffer, sizeof buffer, offset)) > 0; offset += n)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd_);
    fd_ = -1;

    bool failed = false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> parts = componentsInside(line, folder_);
        if (parts.empty()) continue;  // not a temporary of ours: never deleted
        if (!removeInside(folder_, parts)) failed = true;
    }
    if (failed) return false;
    ::unlink(path_.c_str());
    return true;
}

}  // namespace quarva::archive
