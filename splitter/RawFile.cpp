#include "splitter/RawFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarva::splitter {

bool RawFile::openRead(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

bool RawFile::create(const std::string& path, bool readWrite) {
    close();
    fd_ = ::open(path.c_str(), (readWrite ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) return false;
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

bool RawFile::close() {
    if (fd_ < 0) return true;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 || errno == EINTR;
}

RawFile::Result RawFile::read(void* data, std::size_t size) {
    Result r;
    auto* p = static_cast<char*>(data);
    while (r.bytes < size) {
        ssize_t n = ::read(fd_, p + r.bytes, size - r.bytes);
        if (n < 0) {
            if (errno == EINTR) continue;
            r.error = errno;
            break;
        }
        if (n == 0) break;
        r.bytes += static_cast<std::size_t>(n);
    }
    return r;
}

RawFile::Result RawFile::write(const void* data, std::size_t size) {
    Result r;
    const auto* p = static_cast<const char*>(data);
    while (r.bytes < size) {
        ssize_t n = ::write(fd_, p + r.bytes, size - r.bytes);
        if (n < 0) {
            if (errno == EINTR) continue;
            r.error = errno;
            break;
        }
        if (n == 0) {
            r.error = ENOSPC;
            break;
        }
        r.bytes += static_cast<std::size_t>(n);
    }
    return r;
}

bool RawFile::rewind() { return ::lseek(fd_, 0, SEEK_SET) == 0; }

bool RawFile::seek(std::uint64_t offset) {
    return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

std::int64_t RawFile::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

RawFile::Identity RawFile::identity() const {
    Identity id;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.mtimeSec = st.st_mtim.tv_sec;
    id.mtimeNsec = st.st_mtim.tv_nsec;
    return id;
}

}  // namespace quarva::splitter
