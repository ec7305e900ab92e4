#include "formatlib/core/SafeExtract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "formatlib/core/Abort.h"
#include "formatlib/core/Names.h"

namespace quarva::formatlib {

SafeExtractor::SafeExtractor(std::filesystem::path destination, bool overwrite, std::uint64_t unknownSizeCap)
    : dest_(std::move(destination)), overwrite_(overwrite), cap_(unknownSizeCap)
{
}

SafeExtractor::Result SafeExtractor::fail(std::string why)
{
    cause_ = std::move(why);
    return Result::Failed;
}

// Creates every folder of `relative` below the destination; a component that
// exists as a link or a file stops it.
bool SafeExtractor::makeParents(const std::string& relative)
{
    std::string path = dest_.string();
    std::size_t i = 0;
    for (;;) {
        const std::size_t j = relative.find('/', i);
        if (j == std::string::npos) return true;
        path += "/" + relative.substr(i, j - i);
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) {
                cause_ = "the path runs through a symbolic link: " + relative.substr(0, j);
                return false;
            }
            if (!S_ISDIR(st.st_mode)) {
                cause_ = "a file stands where a folder is needed: " + relative.substr(0, j);
                return false;
            }
        } else if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            cause_ = std::string("cannot create the folder: ") + std::strerror(errno);
            return false;
        }
        i = j + 1;
    }
}

SafeExtractor::Result SafeExtractor::extract(const EntryInfo& entry, const std::string& relative, DataSource* data)
{
    cause_.clear();
    if (!makeParents(relative)) return Result::Failed;
    const std::string target = (dest_ / relative).string();
    struct stat st {};
    const bool exists = lstat(target.c_str(), &st) == 0;

    if (entry.isDir) {
        if (exists && S_ISDIR(st.st_mode)) return Result::Written;
        if (exists) return fail("a file or link stands where the folder goes");
        if (mkdir(target.c_str(), 0755) != 0) return fail(std::string("cannot create the folder: ") + std::strerror(errno));
        return Result::Written;
    }
    if (exists && S_ISDIR(st.st_mode)) return fail("a folder of that name exists");
    if (exists && !overwrite_) return Result::Skipped;

    if (entry.isSymlink) {
        if (!linkTargetInside(entry.linkTarget))
            return fail("the link points outside the destination folder: " + entry.linkTarget);
        if (exists && unlink(target.c_str()) != 0) return fail(std::string("cannot replace: ") + std::strerror(errno));
        if (symlink(entry.linkTarget.c_str(), target.c_str()) != 0)
            return fail(std::string("cannot create the link: ") + std::strerror(errno));
        return Result::Written;
    }
    if (entry.isHardlink) {
        std::string why;
        const auto linked = safeRelativePath(entry.linkTarget, &why);
        if (!linked) return fail("the hard link points outside the destination folder: " + entry.linkTarget);
        const std::string source = (dest_ / *linked).string();
        struct stat ls {};
        if (lstat(source.c_str(), &ls) != 0 || !S_ISREG(ls.st_mode))
            return fail("the hard link's target was not extracted: " + *linked);
        if (exists && unlink(target.c_str()) != 0) return fail(std::string("cannot replace: ") + std::strerror(errno));
        if (link(source.c_str(), target.c_str()) != 0)
            return fail(std::string("cannot create the hard link: ") + std::strerror(errno));
        return Result::Written;
    }
    if (entry.method == "special") return fail("devices, pipes and sockets are not extracted");

    // New content goes to a temporary file beside the target; it replaces the target when complete.
    std::string temp = (dest_ / relative).parent_path().string() + "/.qztmp-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return fail(std::string("cannot create the file: ") + std::strerror(errno));
    const std::uint64_t limit = entry.sizeKnown ? entry.size : cap_;
    std::uint64_t written = 0;
    std::vector<char> buf(64 * 1024);
    bool good = true;
    while (data) {
        if (abortRequested()) {
            cause_ = "Operation aborted";
            good = false;
            break;
        }
        const long n = data->read(buf.data(), buf.size());
        if (n < 0) {
            cause_ = data->error().empty() ? "damaged data" : data->error();
            good = false;
            break;
        }
        if (n == 0) break;
        if (written + static_cast<std::uint64_t>(n) > limit) {
            cause_ = entry.sizeKnown ? "the data is longer than the archive declares"
                                     : "the data grows beyond any plausible size (compression bomb?)";
            good = false;
            break;
        }
        const char* p = buf.data();
        std::size_t left = static_cast<std::size_t>(n);
        while (left > 0) {
            const ssize_t w = ::write(fd, p, left);
            if (w < 0) {
                if (errno == EINTR) continue;
                cause_ = std::string("cannot write the file: ") + std::strerror(errno);
                good = false;
                break;
            }
            p += w;
            left -= static_cast<std::size_t>(w);
        }
        if (!good) break;
        written += static_cast<std::uint64_t>(n);
    }
    if (good && entry.sizeKnown && written != entry.size) {
        cause_ = "the data is shorter than the archive declares";
        good = false;
    }
    if (good) {
        fchmod(fd, static_cast<mode_t>(entry.mode & 0777));
        if (entry.mtime > 0) {
            struct timespec times[2];
            times[0].tv_sec = entry.mtime;
            times[0].tv_nsec = 0;
            times[1] = times[0];
            futimens(fd, times);
        }
    }
    if (::close(fd) != 0 && good) {
        cause_ = std::string("cannot write the file: ") + std::strerror(errno);
        good = false;
    }
    if (good && rename(temp.c_str(), target.c_str()) != 0) {
        cause_ = std::string("cannot replace the file: ") + std::strerror(errno);
        good = false;
    }
    if (!good) {
        unlink(temp.c_str());
        return Result::Failed;
    }
    return Result::Written;
}

}  // namespace quarva::formatlib
