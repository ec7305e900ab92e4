#include "formatlib/core/OperationSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "formatlib/core/Abort.h"
#include "platform/AtomicFile.h"

namespace quarva::formatlib {
namespace fs = std::filesystem;

FileSource::FileSource(const fs::path& p, bool followLinks) {
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

FileSource::~FileSource() {
    if (fd_ >= 0) ::close(fd_);
}

long FileSource::read(void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        error_ = std::string("cannot read the file (") + std::strerror(errno) + ")";
        return -1;
    }
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

fs::path folderOf(const std::string& path) {
    fs::path p = fs::path(path).parent_path();
    return p.empty() ? fs::path(".") : p;
}

std::uint64_t unknownSizeCap(const std::string& archive) {
    struct stat st {};
    return undeclaredDataCeiling(stat(archive.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0);
}

bool writerHoldsLinks(const FormatHandler& h) {
    const std::string n = h.name();
    return n == "tar" || n == "tar.gz" || n == "zip" || n == "jar" || n == "lha";
}

std::unique_ptr<ArchiveReader> openArchive(const std::string& archive, const std::string& password, Reporter& rep,
                                           const FormatHandler** used) {
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

bool holdsContent(const ArchiveReader& r, const std::string& archive, Reporter& rep) {
    if (r.holdsContent()) return true;
    rep.failure("", archive, "Nothing to extract",
                "an " + r.formatName() +
                    " file only describes files and folders (names, sizes, permissions); it holds none of their "
                    "content, and files on this computer are never read in its place");
    return false;
}

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

LoopEnd forEachEntry(ArchiveReader& r, const std::string& archive, const EntryLoop& how,
                     const std::function<bool(EntryInfo&)>& each) {
    const auto report = [&](const char* cause, const std::string& details) {
        if (!how.rep) return;
        if (how.asFailure) how.rep->failure("", archive, cause, details);
        else how.rep->error("", archive, cause, details);
    };
    EntryInfo e;
    bool first = true;
    for (;;) {
        if (how.watchAbort && abortRequested()) {
            if (how.reportAbort) report(kAborted, {});
            return LoopEnd::Aborted;
        }
        const int n = r.next(e);
        if (first && how.onFirstRead) how.onFirstRead();
        first = false;
        if (n == 0) return LoopEnd::Done;
        if (n < 0) {
            report("Damaged archive", r.error());
            if (how.goOnAfterDamage && r.canGoOn()) continue;
            return LoopEnd::Damaged;
        }
        if (!each(e)) return LoopEnd::Stopped;
    }
}

}  // namespace quarva::formatlib
