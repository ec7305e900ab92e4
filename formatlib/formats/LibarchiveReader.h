#pragma once
// A reader over libarchive, shared by every format that libarchive reads.

#include <archive.h>

#include <functional>

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

// The name stored in a gzip header (FNAME), empty when there is none.
std::string gzipStoredName(const std::filesystem::path& path);
// The time stored in a gzip header (MTIME), 0 when there is none.
std::time_t gzipStoredTime(const std::filesystem::path& path);
// True when the data after a gzip header starts a tar archive.
bool gzipHoldsTar(const std::filesystem::path& path);

}  // namespace quarva::formatlib
