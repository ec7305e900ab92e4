#include "formatlib/core/SafeExtract.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "formatlib/core/Abort.h"
#include "formatlib/core/Names.h"
#include "platform/AtomicFile.h"

namespace quarva::formatlib {

namespace {

std::vector<std::string> split(const std::string& relative) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    for (;;) {
        const std::size_t j = relative.find('/', i);
        parts.push_back(relative.substr(i, j == std::string::npos ? std::string::npos : j - i));
        if (j == std::string::npos) return parts;
        i = j + 1;
    }
}

}  // namespace

SafeExtractor::SafeExtractor(const std::filesystem::path& destination, bool overwrite, std::uint64_t unknownSizeCap)
    : overwrite_(overwrite), cap_(unknownSizeCap) {
    std::error_code ec;
    if (!dest_.open(destination, ec)) openProblem_ = "cannot open the destination folder: " + ec.message();
}

SafeExtractor::Result SafeExtractor::fail(std::string why) {
    cause_ = std::move(why);
    return Result::Failed;
}

SafeExtractor::Result SafeExtractor::aborted(std::string why) {
    cause_ = std::move(why);
    return Result::Aborted;
}

std::string SafeExtractor::explain(const std::error_code& ec, const std::string& relative, const char* doing) const {
    if (ec == std::errc::too_many_symbolic_link_levels) return "the path runs through a symbolic link: " + relative;
    if (ec == std::errc::not_a_directory) return "a file stands where a folder is needed: " + relative;
    if (ec == std::errc::is_a_directory) return "a folder of that name exists";
    return std::string(doing) + ": " + ec.message();
}

SafeExtractor::Result SafeExtractor::extract(const EntryInfo& entry, const std::string& relative, DataSource* data) {
    cause_.clear();
    if (!openProblem_.empty()) return fail(openProblem_);
    const auto parts = split(relative);
    std::error_code ec;

    if (entry.isDir()) {
        if (!dest_.createFolder(parts, ec)) {
            if (ec == std::errc::not_a_directory || ec == std::errc::too_many_symbolic_link_levels)
                return fail("a file or link stands where the folder goes: " + relative);
            return fail(explain(ec, relative, "cannot create the folder"));
        }
        return Result::Written;
    }
    const bool linkOrSpecial = entry.isSymlink() || entry.isHardlink() || entry.isSpecial();
    // A file finds out about what stands in its place as it starts (one look, not three).
    if (!linkOrSpecial) return writeFile(entry, relative, parts, data);
    if (dest_.exists(parts)) {
        const int fd = dest_.openFolder(parts, false, ec);
        if (fd >= 0) {
            ::close(fd);
            return fail("a folder of that name exists");
        }
        if (!overwrite_) return Result::Skipped;
    }

    if (entry.isSymlink()) {
        if (!dest_.createSymlink(parts, entry.linkTarget, ec)) {
            if (ec == std::errc::permission_denied)
                return fail("the link points outside the destination folder: " + entry.linkTarget);
            return fail(explain(ec, relative, "cannot create the link"));
        }
        written_.erase(relative);
        return Result::Written;
    }
    if (entry.isHardlink()) {
        std::string why;
        const auto linked = safeRelativePath(entry.linkTarget, &why);
        if (!linked) return fail("the hard link points outside the destination folder: " + entry.linkTarget);
        if (!written_.count(*linked)) return fail("the hard link's target was not extracted: " + *linked);
        if (*linked == relative) return Result::Written;
        if (!dest_.createHardLink(parts, split(*linked), ec))
            return fail(explain(ec, relative, "cannot create the hard link"));
        written_.insert(relative);
        return Result::Written;
    }
    if (entry.isSpecial()) return fail("devices, pipes and sockets are not extracted");
    return writeFile(entry, relative, parts, data);
}

SafeExtractor::Result SafeExtractor::writeFile(const EntryInfo& entry, const std::string& relative,
                                               const std::vector<std::string>& parts, DataSource* data) {
    // New content goes to a temporary file beside the target; it replaces the target when complete.
    written_.erase(relative);
    std::error_code ec;
    platform::AtomicFile file;
    const auto mode = static_cast<mode_t>(entry.mode & 0777);
    bool replacing = false;
    if (!dest_.createFile(parts, file, ec, mode, &replacing))
        return fail(explain(ec, relative, "cannot create the file"));
    if (replacing && !overwrite_) return Result::Skipped;  // `file` removes its temporary
    const std::uint64_t limit = entry.sizeKnown ? entry.size : cap_;
    std::uint64_t written = 0;
    while (data) {
        if (abortRequested()) return aborted("Operation aborted");
        const void* bytes = nullptr;
        const long n = data->view(&bytes, buffer_);
        if (n < 0) {
            // A reader stopped by Abort() says so in its error.
            const std::string why = data->error().empty() ? "damaged data" : data->error();
            return abortRequested() ? aborted(why) : fail(why);
        }
        if (n == 0) break;
        if (written + static_cast<std::uint64_t>(n) > limit)
            return fail(entry.sizeKnown ? "the data is longer than the archive declares"
                                        : "the data grows beyond any plausible size (compression bomb?)");
        if (!file.write(bytes, static_cast<std::size_t>(n), ec)) return fail("cannot write the file: " + ec.message());
        written += static_cast<std::uint64_t>(n);
    }
    if (entry.sizeKnown && written != entry.size) return fail("the data is shorter than the archive declares");
    // The entry's own permissions, also over an existing file's.
    if (file.mode() != mode) fchmod(file.fd(), mode);
    if (entry.mtime > 0) {
        struct timespec times[2];
        times[0].tv_sec = entry.mtime;
        times[0].tv_nsec = 0;
        times[1] = times[0];
        futimens(file.fd(), times);
    }
    // A new file appears whole or not at all; only a file that replaces an older one
    // is also made durable before the old one goes.
    if (!file.commit(ec, replacing ? platform::AtomicFile::Flush::Data : platform::AtomicFile::Flush::None))
        return fail("cannot write the file: " + ec.message());
    written_.insert(relative);
    return Result::Written;
}

}  // namespace quarva::formatlib
