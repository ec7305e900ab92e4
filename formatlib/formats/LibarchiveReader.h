#pragma once
// A reader over libarchive, shared by every format that libarchive reads.

#include <archive.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

#include "formatlib/core/Progress.h"
#include "formatlib/formats/Format.h"
#include "formatlib/formats/Utf8Locale.h"

namespace quarva::formatlib {

class GzipTrailerCheck;

// Most layers of compression read inside each other (a file compressed inside itself
// would otherwise be unwrapped without end).
constexpr int kMaxFilterLayers = 3;

// Opens a libarchive reader on a file with its compression named, not guessed: the
// layers (each one of the filters allowed) are looked for first, at most
// kMaxFilterLayers of them, and appended so that libarchive stacks no more. When the
// outermost layer is gzip the file is read here and the CRC-32 and length trailer of
// every member is checked on the way (libarchive does not). Keep the object alive
// (and in place) as long as the archive is read.
class CheckedInput {
public:
    CheckedInput();
    ~CheckedInput();
    CheckedInput(const CheckedInput&) = delete;
    CheckedInput& operator=(const CheckedInput&) = delete;

    // `a` has its formats registered. Returns libarchive's status of the open
    // (ARCHIVE_FATAL with *error when the file is refused; *error holds a warning's text).
    int open(struct archive* a, const std::filesystem::path& path, const std::vector<int>& filters, std::string* error);
    // The pieces of a set of volumes to read one after the other (`path` of open is
    // the first); compressed sets are not read so.
    void setVolumes(const std::vector<std::filesystem::path>& volumes);
    // At the end of the data: checks what remains of the file; false (with *error)
    // when a gzip trailer is wrong. Nothing to do for other input.
    bool finish(std::string* error);

private:
    static la_ssize_t readCallback(struct archive* a, void* self, const void** block);
    int fd_ = -1;
    std::uint64_t fileOffset_ = 0;
    std::vector<unsigned char> block_;
    std::unique_ptr<GzipTrailerCheck> gzipCheck_;
    std::vector<std::string> volumes_;
};

class LibarchiveReader : public ArchiveReader {
public:
    using Setup = std::function<void(struct archive*)>;
    // Most memory a read may take on top of what the process held when it began
    // (checked every 16 entries and every few blocks of data). Room for the largest
    // dictionaries 7z and xz archives are made with (1.5 GiB).
    static constexpr std::uint64_t kMemoryCeiling = 2ull << 30;

    // `rawName` names the single entry of a plain compressed file (format "raw").
    // `filter` is the compression the handler reads through (ARCHIVE_FILTER_GZIP,
    // _BZIP2, _XZ; ARCHIVE_FILTER_NONE for none); `setup` registers the formats.
    LibarchiveReader(const std::filesystem::path& path, const Setup& setup, const std::string& password, unsigned kind,
                     std::string formatName, std::string rawName = {}, int filter = ARCHIVE_FILTER_NONE);
    // A reader whose content sits in layers of any of `filters` (an rpm package
    // around its compressed payload), looked for in the order given.
    LibarchiveReader(const std::filesystem::path& path, const Setup& setup, unsigned kind, std::string formatName,
                     const std::vector<int>& filters);
    // A reader of a set of volumes, read as one archive (the first piece first).
    LibarchiveReader(const std::vector<std::filesystem::path>& volumes, const Setup& setup, const std::string& password,
                     unsigned kind, std::string formatName);
    ~LibarchiveReader() override;

    bool opened() const { return opened_; }
    int next(EntryInfo& entry) override;
    long read(void* buffer, std::size_t size) override;
    // Lends libarchive's own block where the entry's data lies in one piece (a
    // declared size, no holes, no padding to drop); otherwise as read() does.
    long view(const void** data, std::vector<char>& scratch) override;
    std::string error() const override { return error_; }
    bool canGoOn() const override { return !dead_; }
    std::string warning() const override { return warning_; }
    unsigned kind() const override { return kind_; }
    std::string formatName() const override;
    // Time for the single entry of a plain compressed file (the file's own by default).
    void setRawTime(std::time_t t) { rawTime_ = t; }
    // For formats whose reader pads each entry's data with zero bytes past its
    // declared size (libarchive's warc hands out the record's separator so): the
    // data ends at the declared size and the padding is dropped.
    void endAtDeclaredSize() { endAtSize_ = true; }
    // For a zip read from its local headers: a file that ends right after an entry,
    // where its central directory would follow, ends the archive there (the entry's
    // data is still checked when it is read).
    void endAtFileEnd() { endAtFileEnd_ = true; }
    // Added to every error of libarchive's own ("install ... to read it").
    void setHint(std::string hint) { hint_ = std::move(hint); }

protected:
    // libarchive's name of the format of the entry just read ("ZIP 2.0 (deflation)").
    std::string entryFormatName() const {
        const char* name = a_ ? archive_format_name(a_) : nullptr;
        return name ? name : "";
    }

private:
    void start(const std::filesystem::path& path, const Setup& setup, const std::string& password,
               const std::vector<int>& filters, const std::vector<std::filesystem::path>& volumes = {});
    bool open(const std::filesystem::path& path, const std::vector<int>& filters);
    // Marks the archive as unusable: libarchive is never called again but to free it.
    void die(const std::string& why);
    std::string libarchiveError(const char* fallback) const;
    // False (and the archive given up) when the read took more memory than allowed.
    bool memoryWithinCeiling();
    // Reads what follows the declared size of the entry's data: a few zero bytes,
    // dropped; anything else is data longer than declared.
    long dropPadding();
    // Ends the check of the gzip trailers; false (with error_) when one is wrong.
    bool finishGzipCheck();
    // Tells the running operation how many of the archive's bytes were consumed.
    void tellProgress() {
        if (!dead_)
            reportProgress(static_cast<std::uint64_t>(std::max<la_int64_t>(archive_filter_bytes(a_, -1), 0)),
                           inputSize_);
    }

    Utf8Locale utf8_;
    struct archive* a_ = nullptr;
    bool opened_ = false;
    bool dead_ = false;
    unsigned kind_;
    std::string formatName_;
    std::string rawName_;
    std::string error_;
    std::string warning_;
    std::string openWarning_;
    std::string hint_;
    bool raw_ = false;
    bool endAtSize_ = false;
    bool endAtFileEnd_ = false;
    std::uint64_t fileBytes_ = 0;
    std::time_t rawTime_ = 0;
    int headerFailures_ = 0;
    // The current entry: its declared size (when known) and the bytes handed out.
    bool entrySized_ = false;
    bool entryFailed_ = false;
    bool entryOpen_ = false;    // its data not read to the end yet
    bool entrySparse_ = false;  // its data has holes (zeros not stored)
    std::uint64_t entrySize_ = 0;
    std::uint64_t entryBytes_ = 0;
    // Data of undeclared size handed out so far, and its ceiling.
    std::uint64_t undeclared_ = 0;
    std::uint64_t ceiling_ = 0;
    std::uint64_t inputSize_ = 0;  // bytes of the archive's file (of every volume)
    std::uint64_t memoryAtStart_ = 0;
    std::uint64_t reads_ = 0;
    std::uint64_t headers_ = 0;
    CheckedInput input_;
};

// What libarchive does not tell of an entry but the archive's own headers do.
struct StoredInfo {
    std::uint64_t packed;
    std::uint32_t crc;
    std::string method;
};

// A libarchive reader whose entries get packed size, CRC and method from a table
// the handler read from the archive's headers (matched by name).
class AnnotatedReader : public LibarchiveReader {
public:
    AnnotatedReader(const std::filesystem::path& path, const Setup& setup, const std::string& password, unsigned kind,
                    std::string formatName, std::map<std::string, StoredInfo> info)
        : LibarchiveReader(path, setup, password, kind, std::move(formatName)), info_(std::move(info)) {}
    int next(EntryInfo& entry) override {
        const int r = LibarchiveReader::next(entry);
        if (r == 1 && !entry.isDir()) {
            const auto it = info_.find(entry.name);
            if (it != info_.end()) {
                entry.packedSize = it->second.packed;
                entry.crc = it->second.crc;
                entry.method = it->second.method;
            }
        }
        return r;
    }

protected:
    // True when the table names anything (a directory was read).
    bool annotated() const { return !info_.empty(); }

private:
    std::map<std::string, StoredInfo> info_;
};

// Why libarchive cannot read the archive, as far as its headers and the first
// file's first byte tell (encrypted entries or names, a method it does not know,
// the rest of the archive in another volume); empty when it can.
// `volumes`: the whole set of volumes when `path` is the first piece of one.
std::string libarchiveShortfall(const std::filesystem::path& path, const LibarchiveReader::Setup& setup,
                                const std::vector<std::filesystem::path>& volumes = {});

// True when the first bytes `p` (n of them) carry the mark of the compression
// `filter` (ARCHIVE_FILTER_GZIP, _BZIP2, _XZ, _ZSTD, _LZ4, _LZIP, _LZMA, _COMPRESS,
// _RPM: the lead of an rpm package).
bool filterMagic(int filter, const unsigned char* p, std::size_t n);
// The first `limit` bytes of the file's content unwrapped from one layer of
// `filter`; fewer (or none) when the data ends or cannot be decoded.
std::vector<std::uint8_t> filteredHead(const std::filesystem::path& path, int filter, std::size_t limit);

}  // namespace quarva::formatlib
