#pragma once
// add: compressing the gathered files, a small file whole, a large one in chunks
// that workers compress side by side and that join into one deflate stream.

#include "engine/AddGather.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarva::engine {

// Files up to this size are compressed as one buffer by one worker; larger files
// are cut into chunks compressed side by side.
constexpr std::uint64_t kWholeFileLimit = 8ull << 20;
constexpr std::size_t kChunk = 2u << 20;

// One compressed piece: a whole small file, or one chunk of a large one.
struct Piece {
    bool ok = true;
    int err = 0;
    std::uint32_t crc = 0;
    std::uint64_t rawSize = 0;
    std::uint16_t method = kMethodDeflate;
    std::vector<unsigned char> data;
};

// A piece that could not be made, with the system error why.
Piece failedPiece(int err);
// A small file (or a link's target text), deflated when that makes it smaller.
Piece compressWhole(const Source& s, int level);
// Chunk `index` of `chunks` of a large file; all but the last end on a byte
// boundary without a final block, so the pieces join into one stream.
Piece compressChunk(const Source& s, std::size_t index, std::size_t chunks, int level);

}  // namespace quarva::engine
