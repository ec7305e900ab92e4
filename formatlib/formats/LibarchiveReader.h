#pragma once
// A reader over libarchive, shared by every format that libarchive reads.

#include <archive.h>

#include <functional>
#include <map>

#include "formatlib/formats/Format.h"

namespace quarva::formatlib {

class LibarchiveReader : public ArchiveReader {
public:
    using Setup = std::function<void(struct archive*)>;
    // `rawName` names the single entry of a plain compressed file (format "raw").
    LibarchiveReader(const std::filesystem::path& path, const Setup& setup, const std::string& password,
                     unsigned kind, std::string formatName, std::string rawName = {});
    ~LibarchiveReader() override;

    bool opened() const { return opened_; }
    int next(EntryInfo& entry) override;
    long read(void* buffer, std::size_t size) override;
    std::string error() const override { return error_; }
    unsigned kind() const override { return kind_; }
    std::string formatName() const override;
    // Time for the single entry of a plain compressed file (the file's own by default).
    void setRawTime(std::time_t t) { rawTime_ = t; }

private:
    struct archive* a_ = nullptr;
    bool opened_ = false;
    unsigned kind_;
    std::string formatName_;
    std::string rawName_;
    std::string error_;
    bool raw_ = false;
    std::time_t rawTime_ = 0;
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
    AnnotatedReader(const std::filesystem::path& path, const Setup& setup, const std::string& password,
                    unsigned kind, std::string formatName, std::map<std::string, StoredInfo> info)
        : LibarchiveReader(path, setup, password, kind, std::move(formatName)), info_(std::move(info))
    {
    }
    int next(EntryInfo& entry) override
    {
        const int r = LibarchiveReader::next(entry);
        if (r == 1 && !entry.isDir) {
            const auto it = info_.find(entry.name);
            if (it != info_.end()) {
                entry.packedSize = it->second.packed;
                entry.crc = it->second.crc;
                entry.method = it->second.method;
            }
        }
        return r;
    }

private:
    std::map<std::string, StoredInfo> info_;
};

// The name stored in a gzip header (FNAME), empty when there is none.
std::string gzipStoredName(const std::filesystem::path& path);
// The time stored in a gzip header (MTIME), 0 when there is none.
std::time_t gzipStoredTime(const std::filesystem::path& path);
// True when the data after a gzip header starts a tar archive.
bool gzipHoldsTar(const std::filesystem::path& path);

}  // namespace quarva::formatlib
