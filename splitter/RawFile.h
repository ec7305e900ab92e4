#pragma once
// A file handle for the engines: plain POSIX descriptors with the sequential-scan hint,
// and writes that report how much reached the disk before a failure (a full disk
// usually takes part of a block before it refuses the rest).

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarva::splitter {

class RawFile {
public:
    RawFile() = default;
    ~RawFile() { close(); }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // Each returns false with errno set.
    bool openRead(const std::string& path);
    bool create(const std::string& path, bool readWrite = false);  // create or truncate
    bool isOpen() const { return fd_ >= 0; }
    // false with errno set when closing reported an error (a write that did not reach the disk).
    bool close();

    struct Result {
        std::size_t bytes = 0;  // transferred before `error`
        int error = 0;          // errno, 0 when everything was transferred
    };
    // Reads until `size` bytes, end of file or an error.
    Result read(void* data, std::size_t size);
    // Writes until everything is written or an error.
    Result write(const void* data, std::size_t size);
    bool rewind();
    bool seek(std::uint64_t offset);
    // Size of the open file; -1 with errno on failure.
    std::int64_t size() const;

    // Tells one file from another: device, inode, size and modification time.
    struct Identity {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = -1, mtimeSec = 0, mtimeNsec = 0;
        bool operator==(const Identity&) const = default;
    };
    Identity identity() const;

private:
    int fd_ = -1;
};

}  // namespace quarva::splitter
