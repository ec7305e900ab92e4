#pragma once
// Tar archives kept as they are stored. A rewrite of a tar (add, delete, a
// conversion between tar and tar.gz) copies every entry it does not change block
// for block, headers and all: hard links, devices, fifos, sparse files, absolute
// and ".." names (unsafe to extract, not to keep) and every pax or GNU record come
// through untouched. New entries are written by libarchive into the same stream.

#include <archive.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

namespace quarva::formatlib {

constexpr std::size_t kTarBlock = 512;
constexpr std::size_t kTarRecord = 10240;  // tar archives end on a whole record

// The output of a tar rewrite: a file descriptor, optionally through gzip.
class TarSink {
public:
    // Does not own `fd`.
    TarSink(int fd, bool gzip);
    ~TarSink();
    TarSink(const TarSink&) = delete;
    TarSink& operator=(const TarSink&) = delete;

    bool write(const void* data, std::size_t size);
    // Writes the end mark (two zero blocks) when asked, pads to a whole record and
    // flushes. The descriptor stays open.
    bool finish(bool endMark);
    std::uint64_t written() const { return written_; }
    const std::string& error() const { return error_; }

private:
    bool put(const void* data, std::size_t size);
    int fd_;
    bool gzip_;
    z_stream z_{};
    bool zOpen_ = false;
    std::uint64_t written_ = 0;
    std::string error_;
};

// One entry as stored: its header blocks (the pax or GNU records in front of it
// included) and the length of the data blocks after them.
struct RawTarEntry {
    std::string name;        // as the headers give it (pax path, GNU long name, prefix/name)
    std::string linkTarget;  // hard or symbolic link target
    char type = '0';
    bool standalone = false;  // a global header or volume label: no entry of its own
    std::vector<std::uint8_t> headers;
    std::uint64_t size = 0;       // data bytes
    std::uint64_t dataBytes = 0;  // data bytes rounded up to whole blocks
    std::uint32_t mode = 0644;
    std::int64_t mtime = 0;
    bool isHardlink() const { return type == '1'; }
    bool isDir() const { return type == '5'; }
};

class LibarchiveReader;

// Reads the tar stream of a file block by block, through `filter` (ARCHIVE_FILTER_NONE,
// _GZIP, _BZIP2 or _XZ) with every bound the library's reader keeps.
class RawTarReader {
public:
    RawTarReader(const std::filesystem::path& path, int filter);
    ~RawTarReader();
    RawTarReader(const RawTarReader&) = delete;
    RawTarReader& operator=(const RawTarReader&) = delete;

    // False when the file cannot be read or does not start with a tar header (or,
    // for an empty tar, with its end mark).
    bool isTar() const { return isTar_; }
    bool emptyTar() const { return emptyTar_; }
    // 1: an entry is ready (its data follows), 0: the end, -1: damaged (error()).
    int next(RawTarEntry& entry);
    // The current entry's data blocks, to `sink` (null: skipped).
    bool copyData(TarSink* sink);
    const std::string& error() const { return error_; }

private:
    bool fill(std::size_t want);
    bool readExact(std::uint8_t* out, std::size_t size);
    std::unique_ptr<LibarchiveReader> r_;
    bool isTar_ = false;
    bool emptyTar_ = false;
    std::vector<std::uint8_t> buf_;
    std::size_t pos_ = 0;
    std::uint64_t pending_ = 0;  // data bytes of the current entry not yet read
    bool ended_ = false;
    std::string error_;
};

// True when `block` is a tar header whose checksum matches.
bool tarHeaderValid(const std::uint8_t* block);

}  // namespace quarva::formatlib
