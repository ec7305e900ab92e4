#pragma once
// The compression methods the engine decodes, each as a stream: packed bytes come
// in block by block (already decrypted), plain bytes go out block by block, so an
// entry of any size is decoded in bounded memory. Writing knows stored and deflate
// only.

#include "engine/ZipFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarva::engine {

constexpr std::uint16_t kMethodDeflate64 = 9;
constexpr std::uint16_t kMethodBzip2 = 12;
constexpr std::uint16_t kMethodLzma = 14;
constexpr std::uint16_t kMethodZstd = 93;
constexpr std::uint16_t kMethodXz = 95;
constexpr std::uint16_t kMethodPpmd = 98;

// General purpose flag of LZMA entries: the stream ends with an end marker.
constexpr std::uint16_t kFlagLzmaEndMarker = 0x0002;

enum class StreamResult { Ok, Damaged, Aborted, SinkFailed, Unsupported };

// The packed bytes of one entry.
class PackedInput {
public:
    virtual ~PackedInput() = default;
    // The next block; n == 0 at the end of the entry's data. false when it cannot
    // be read (or the run was aborted: then aborted() says so).
    virtual bool next(const unsigned char*& data, std::size_t& n) = 0;
};

// Where the plain bytes go: anything but Ok stops the decoder with that result.
class PlainOutput {
public:
    virtual ~PlainOutput() = default;
    virtual StreamResult put(const unsigned char* data, std::size_t n) = 0;
};

// True for every method decodeStream knows.
bool methodDecodable(std::uint16_t method);

// The method's name as messages give it ("PPMd", "bzip2"); "method N" for others.
std::string methodTitle(std::uint16_t method);

// Decodes the entry's data (method, flags and declared size from `e`) until the
// compressed stream ends. Bytes after the end are left in `in`. Does not check the
// output's size or CRC: `out` does.
StreamResult decodeStream(std::uint16_t method, const ZipEntry& e, PackedInput& in, PlainOutput& out);

// Deflate with the 64 KiB window (method 9); `deflate64` false decodes plain
// deflate with the same code (used by the tests to compare with zlib).
StreamResult inflate64(PackedInput& in, PlainOutput& out, bool deflate64 = true);

}  // namespace quarva::engine
