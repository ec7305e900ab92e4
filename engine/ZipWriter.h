#pragma once
// Writing an archive into a temporary file beside the target, entry by entry, then
// the central directory; the temporary file replaces the target only when it is
// complete and flushed.

#include "engine/ZipFormat.h"
#include "engine/ZipReader.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace quarva::engine {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Creates a fresh temporary file in the folder of `target`.
    bool createBeside(const std::string& target);
    bool write(const void* data, std::size_t n);
    bool write(const std::string& s) { return write(s.data(), s.size()); }
    // Overwrites bytes already written (flushes the buffer first).
    bool patch(std::uint64_t offset, const void* data, std::size_t n);
    std::uint64_t position() const { return pos_; }
    // Drops everything written after `offset`.
    bool rewind(std::uint64_t offset);
    // Flushes, syncs and renames over `target` (keeping `mode` when non-zero).
    bool commit(const std::string& target, unsigned mode);
    // Removes the temporary file (when not committed).
    void discard();
    int error() const { return err_; }  // errno of the first failure
    const std::string& path() const { return path_; }

private:
    bool flush();
    int fd_ = -1;
    std::string path_;
    std::vector<unsigned char> buf_;
    std::uint64_t pos_ = 0;
    int err_ = 0;
};

// Builds the archive: local headers and data, remembering the central records.
class ZipWriter {
public:
    explicit ZipWriter(OutputFile& out) : out_(out) {}
    // Copies an entry of an existing archive unchanged (data as stored).
    // false with reason Damaged when its local header cannot be read.
    bool copyEntry(const InputFile& in, const ZipDirectory& dir, const ZipEntry& e, const std::atomic<bool>& abort,
                   bool& aborted);
    // Copies the bytes in front of the archive's first entry (a self-extractor's
    // program); called before any entry, so that offsets count from the file's start.
    bool copyPrefix(const InputFile& in, const ZipDirectory& dir, const std::atomic<bool>& abort, bool& aborted);
    // Starts an entry whose packed data follows through writeData. With
    // `sizesKnown`, e.crc, e.size and e.packedSize are final and the local header is
    // written once; otherwise endEntry fills them in by patching the header.
    bool beginEntry(ZipEntry& e, bool mayNeedZip64, bool sizesKnown = false);
    bool writeData(const void* data, std::size_t n) { return out_.write(data, n); }
    bool endEntry(ZipEntry& e);
    // Central directory and end records.
    bool finish(const std::string& comment);
    const std::vector<ZipEntry>& entries() const { return entries_; }

private:
    std::string localExtra(const ZipEntry& e, bool zip64) const;
    bool writeDescriptor(ZipEntry& e);
    OutputFile& out_;
    std::vector<ZipEntry> entries_;
    std::uint64_t headerAt_ = 0, dataAt_ = 0;
    bool zip64Local_ = false;
    bool sizesKnown_ = false;
    std::uint64_t declaredPacked_ = 0;
    std::vector<unsigned char> copyBuf_;
};

}  // namespace quarva::engine
