#pragma once
// One file of the open archive, and the values an engine reports for an entry.

#include <cstdint>
#include <string>

namespace quarva::archive {

// An entry as the compression engine's entry events and the format library's
// records report it, each value under its own name whichever side reported it.
// Sizes are kept at 64 bits here, whatever width the reporting record has. A
// value a side does not know stays at its default; the library's completion
// record marks the ones it lacks with -1.
struct EntryValues {
    std::string name;              // path inside the archive, "\" separators
    std::uint64_t size = 0;        // uncompressed
    std::uint64_t packedSize = 0;  // compressed
    std::uint64_t done = 0;        // bytes processed: equal to the size when the entry is complete
    std::int16_t attributes = 0;   // DOS attributes: 0x01 read-only, 0x10 folder, 0x20 archive
    std::string modified;          // "dd-mm-yy hh:mm"
    std::uint32_t crc = 0;         // CRC-32 of the uncompressed data
    std::int16_t ratio = 0;        // space saved, in percent
    std::int16_t percent = 0;      // progress of the entry, in percent
    std::int16_t method = 0;       // zip method number: 0 stored, 8 deflate, ...
    std::string methodName;        // the method as text ("deflate", "lh5"), when the reporter names it
    std::int16_t disk = 0;         // disk of the entry's header, 1-based
    std::int16_t encryption = 0;   // 0 none, 1 traditional, 2-4 AES-128/192/256, 5 other
    std::string comment;           // the entry's comment
};

class CZipFileInfo {
public:
    // Builds the file from a report: the name without a leading drive, split into
    // folder and name.
    static CZipFileInfo fromValues(const EntryValues& values);

    // The path inside the archive: folder + "\" + name, or the name at the root.
    std::string path() const { return inFolder ? folder + "\\" + name : name; }

    std::string typeText;  // shell type name, filled by the file list
    std::string name;
    std::uint64_t size = 0;
    std::uint64_t packedSize = 0;
    std::int16_t attributes = 0;
    std::string modified;
    std::uint32_t crc = 0;
    std::int16_t ratio = 0;
    std::int16_t method = 0;
    std::string methodName;
    std::int16_t disk = 0;
    std::int16_t encryption = 0;
    std::string comment;
    bool inFolder = false;
    std::string folder;
};

// The key of an entry: the reported name with everything up to and including a
// drive (":\") removed.
std::string entryKey(const std::string& reportedName);

}  // namespace quarva::archive
