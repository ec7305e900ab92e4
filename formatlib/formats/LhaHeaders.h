#pragma once
// The headers of an LHA archive (levels 0, 1 and 2), read for what libarchive does
// not tell: packed size, CRC-16 and method of each entry. Every field is read only
// from bytes that are there; anything unexpected ends the walk, and the listing
// then simply lacks these values for the rest of the archive.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {

// Reads up to `size` bytes at `offset` into `out`; returns how many it read.
using ReadAt = std::function<std::size_t(std::uint64_t offset, std::uint8_t* out, std::size_t size)>;

// Entry name ("/" between folders, a link's "|target" left off) → stored values.
std::map<std::string, StoredInfo> readLhaHeaders(const ReadAt& readAt);
std::map<std::string, StoredInfo> readLhaHeaders(const std::filesystem::path& path);
std::map<std::string, StoredInfo> readLhaHeaders(const std::uint8_t* data, std::size_t size);

// The code page an extended header 0x46 records for the names: 65001 is UTF-8.
inline constexpr std::uint32_t kLhaCodePageUtf8 = 65001;

}  // namespace quarva::formatlib
