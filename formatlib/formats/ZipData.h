#pragma once
// Reading zip entries: libarchive walks the archive, but the data of plain entries
// (stored or deflated, not encrypted) is read here straight from where the central
// directory says it lies and checked against its CRC-32 and size: up to a few MiB
// decoded in one piece, larger ones streamed. Everything else goes through libarchive.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {

// Where an entry's record lies and what its central directory record says of it.
struct ZipDataPlace {
    std::uint64_t localHeader = 0;  // from the start of the file
    std::uint64_t packed = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    unsigned method = 0;
    unsigned flags = 0;
    bool unique = true;  // no other entry has this name
};

struct ZipCentralDirectory {
    std::map<std::string, StoredInfo> stored;    // for listings
    std::map<std::string, ZipDataPlace> places;  // for the direct data path
};

// Read from the end of the file (a program in front does not matter); empty when
// the directory cannot be found or read. `places` stays empty unless every name is
// plain ASCII (libarchive reports the others changed, so they could not be matched).
ZipCentralDirectory readZipCentralDirectory(const std::filesystem::path& path);

class ZipReader : public AnnotatedReader {
public:
    ZipReader(const std::filesystem::path& path, const Setup& setup, const std::string& password, const char* name,
              ZipCentralDirectory directory);
    ~ZipReader() override;
    int next(EntryInfo& entry) override;
    long read(void* buffer, std::size_t size) override;
    long view(const void** data, std::vector<char>& scratch) override;
    std::string error() const override { return directError_.empty() ? AnnotatedReader::error() : directError_; }

private:
    // Sets up the direct path for the current entry; false leaves it to libarchive.
    bool startDirect(const ZipDataPlace& place);
    long readStream(unsigned char* out, std::size_t size);

    int fd_ = -1;
    std::map<std::string, ZipDataPlace> places_;
    bool direct_ = false;
    // Grown as needed and kept (never filled with zeros first).
    struct Buffer {
        std::unique_ptr<unsigned char[]> bytes;
        std::size_t capacity = 0;
        unsigned char* ensure(std::size_t n);
    } packed_, plain_;
    std::size_t plainSize_ = 0, served_ = 0;
    std::string directError_;
    // A large entry, streamed: where its packed bytes go on, what came out so far.
    struct Stream;
    std::unique_ptr<Stream> stream_;
    bool streaming_ = false;
};

}  // namespace quarva::formatlib
