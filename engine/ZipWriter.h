#pragma once
// Writing an archive into a temporary file beside the target, entry by entry, then
// the central directory; the temporary file replaces the target only when it is
// complete and flushed (platform::AtomicFile: a target reached through a link is
// written where the link leads, an interrupt or a kill leaves the old file).

#include "engine/ZipFormat.h"
#include "engine/ZipReader.h"

#include "platform/AtomicFile.h"

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace quarva::engine {

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Creates a fresh temporary file in the folder of `target` (after following
    // links). An existing target's permissions carry over; a new one gets `mode`
    // less the umask.
    bool createBeside(const std::string& target, mode_t mode = 0666);
    bool write(const void* data, std::size_t n);
    bool write(const std::string& s) { return write(s.data(), s.size()); }
    // Overwrites bytes already written (flushes the buffer first).
    bool patch(std::uint64_t offset, const void* data, std::size_t n);
    std::uint64_t position() const { return pos_; }
    // Appends `length` bytes of `in` from `offset`: a copy inside the kernel where
    // the file systems allow it, else read and written here. Checks `abort` between
    // blocks of 64 MiB.
    bool copyFrom(const InputFile& in, std::uint64_t offset, std::uint64_t length, const std::atomic<bool>& abort,
                  bool& aborted);
    // Drops everything written after `offset`.
    bool rewind(std::uint64_t offset);
    // Flushes, syncs and renames over the target.
    bool commit();
    // Removes the temporary file (when not committed; also done on destruction).
    void discard() { file_.discard(); }
    int error() const { return err_; }  // errno of the first failure

private:
    bool flush();
    platform::AtomicFile file_;
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
    // Copies the entries `which` (indexes into dir, in the order given) unchanged,
    // local headers and descriptors byte for byte: entries that lie next to each
    // other in the source go over in one copy. An entry whose local record does not
    // stand as the directory says (a gap, a shared header, another disk) goes
    // through copyEntry instead.
    bool copyEntries(const InputFile& in, const ZipDirectory& dir, const std::vector<std::size_t>& which,
                     const std::atomic<bool>& abort, bool& aborted);
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
