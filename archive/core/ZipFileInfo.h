#pragma once
// One file of the open archive, and the values an engine reports for an entry.

#include <array>
#include <cstdint>
#include <string>

namespace quarva::archive {

// The name and the twelve values of an entry report, as the compression engine's
// entry events and the format library's listing records deliver them. Sizes are
// kept at 64 bits here, whatever width the reporting record has.
struct EntryValues {
    std::string name;              // path inside the archive, "\" separators
    std::uint64_t size = 0;        // 1
    std::uint64_t packedSize = 0;  // 2
    std::uint64_t done = 0;        // 3: equal to the size when the entry is complete
    std::int16_t value4 = 0;       // 4 (attributes)
    std::string modified;          // 5 "dd-mm-yy hh:mm"
    std::int32_t value6 = 0;       // 6
    std::int16_t ratio = 0;        // 7 percent
    std::int16_t value8 = 0;       // 8
    std::int16_t value9 = 0;       // 9
    std::int16_t value10 = 0;      // 10
    std::int16_t value11 = 0;      // 11
    std::string value12;           // 12 (text)
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
    std::int32_t fourth = 0;  // value 3 of the report
    std::int16_t fifth = 0;   // value 4
    std::string modified;
    std::int32_t seventh = 0;  // value 6
    std::int16_t ratio = 0;
    std::array<std::int16_t, 4> more{};  // values 8 to 11
    std::string trailing;                // value 12
    int inFolder = 0;
    std::string folder;
};

// The key of an entry: the reported name with everything up to and including a
// drive (":\") removed.
std::string entryKey(const std::string& reportedName);

}  // namespace quarva::archive
