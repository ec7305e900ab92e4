#pragma once
// What the operations share: host files read as entry data, opening the archive,
// writing a new file through a temporary one, and the one loop over the entries
// of an archive with its checks for an abort and for damage.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "formatlib/core/Reporter.h"
#include "formatlib/formats/Format.h"

namespace quarva::formatlib {

inline constexpr const char* kAborted = "Operation aborted by the user";

// A host file read as entry data. Only a regular file is opened: a fifo or device
// put in its place is refused instead of blocking or reading without end.
class FileSource : public DataSource {
public:
    explicit FileSource(const std::filesystem::path& p, bool followLinks = true);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool ok() const { return fd_ >= 0; }
    // Size and time of the file opened (it may have changed since it was listed).
    std::uint64_t size() const { return size_; }
    std::time_t mtime() const { return mtime_; }
    long read(void* buffer, std::size_t size) override;
    std::string error() const override { return error_; }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::time_t mtime_ = 0;
    std::string error_;
};

// Passes the bytes of `inner` through, each block counted as work done (Reporter::addProgress).
class CountedSource : public DataSource {
public:
    CountedSource(DataSource& inner, Reporter& rep) : inner_(inner), rep_(rep) {}
    long read(void* buffer, std::size_t size) override { return counted(inner_.read(buffer, size)); }
    long view(const void** data, std::vector<char>& scratch) override { return counted(inner_.view(data, scratch)); }
    std::string error() const override { return inner_.error(); }

private:
    long counted(long n) {
        if (n > 0) rep_.addProgress(static_cast<std::uint64_t>(n));
        return n;
    }
    DataSource& inner_;
    Reporter& rep_;
};

bool fileExists(const std::string& path);
// The folder a file is in ("." for a bare name).
std::filesystem::path folderOf(const std::string& path);
// Most bytes extracted or tested for an entry whose size the archive does not declare.
std::uint64_t unknownSizeCap(const std::string& archive);
// True when archives of this handler can hold symbolic links.
bool writerHoldsLinks(const FormatHandler& h);

// Opens an existing archive with the handler its content asks for; reports why not
// (a failure of the operation).
std::unique_ptr<ArchiveReader> openArchive(const std::string& archive, const std::string& password, Reporter& rep,
                                           const FormatHandler** used = nullptr);

// True when the archive holds the content of its entries; else reports why there
// is nothing to unpack (a manifest that only describes files) as the operation's failure.
bool holdsContent(const ArchiveReader& r, const std::string& archive, Reporter& rep);

// Writes a new file through a temporary file beside the target (platform::AtomicFile:
// a target that is a symbolic link has its final target written, the link stays);
// the target is replaced only when `body` and the writer's finish both succeed.
bool writeThroughTemp(const std::string& target, const std::function<bool(const std::filesystem::path& temp)>& body,
                      Reporter& rep);

// How forEachEntry treats an abort and a damaged archive.
struct EntryLoop {
    Reporter* rep = nullptr;  // where an abort and damage are reported; none: nothing is
    bool watchAbort = true;   // stop before the next entry once Abort() was called
    bool reportAbort = true;
    bool asFailure = false;             // an abort or damage fails the operation (else an error record)
    bool goOnAfterDamage = true;        // read on when the reader can (else stop at the first damage)
    std::function<void()> onFirstRead;  // called once, after the first entry was asked for
};

enum class LoopEnd {
    Done,     // every entry was handed out
    Aborted,  // Abort() was called
    Damaged,  // the archive cannot be read on
    Stopped,  // `each` asked to stop
};

// Hands every entry of `r` to `each` (which returns false to stop).
LoopEnd forEachEntry(ArchiveReader& r, const std::string& archive, const EntryLoop& how,
                     const std::function<bool(EntryInfo&)>& each);

}  // namespace quarva::formatlib
