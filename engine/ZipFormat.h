#pragma once
// The zip file structures as the engine reads and writes them: local headers,
// central directory, end records (zip64 included), and the entry model.

#include <cstdint>
#include <string>
#include <vector>

namespace quarva::engine {

constexpr std::uint32_t kSigLocal = 0x04034b50;
constexpr std::uint32_t kSigCentral = 0x02014b50;
constexpr std::uint32_t kSigEnd = 0x06054b50;
constexpr std::uint32_t kSigEnd64 = 0x06064b50;
constexpr std::uint32_t kSigEnd64Locator = 0x07064b50;
constexpr std::uint32_t kSigDescriptor = 0x08074b50;
constexpr std::uint32_t kSigSpanMarker = 0x08074b50;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagStrong = 0x0040;
constexpr std::uint16_t kFlagMaskedHeaders = 0x2000;  // strong encryption of the directory
constexpr std::uint16_t kFlagUtf8 = 0x0800;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint16_t kMethodAes = 99;

enum class Encryption : std::int16_t { None = 0, Traditional = 1, Aes128 = 2, Aes192 = 3, Aes256 = 4, Other = 5 };

// One entry as the central directory describes it.
struct ZipEntry {
    std::string name;        // UTF-8, "/" separators as stored
    std::string rawName;     // bytes as stored
    std::string comment;     // UTF-8
    std::string rawComment;  // bytes as stored
    std::uint16_t versionMadeBy = 0, versionNeeded = 0, flags = 0, method = 0;
    std::uint16_t dosTime = 0, dosDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t packedSize = 0, size = 0, localOffset = 0;  // localOffset without the prefix bias
    std::uint32_t disk = 0;
    std::uint16_t internalAttr = 0;
    std::uint32_t externalAttr = 0;
    std::string centralExtra;  // extra field of the central record (kept on copy)
    std::string localExtra;    // extra field of the local header (read by copies)
    // Written as read: name bytes, both extra fields (zip64 sizes aside, which are
    // made anew), flags and comment bytes. Set for entries copied from an archive.
    bool verbatim = false;
    std::int64_t mtime = 0;  // seconds since the epoch
    // AES (method 99): strength 1/2/3, the real method, vendor version (1 = AE-1, 2 = AE-2).
    int aesStrength = 0;
    std::uint16_t aesMethod = 0;
    std::uint16_t aesVersion = 0;

    bool isDirectory() const;
    bool isSymlink() const;
    std::uint32_t unixMode() const;  // 0 when unknown
    std::uint16_t dosAttributes() const;
    Encryption encryption() const;
    std::uint16_t realMethod() const { return method == kMethodAes ? aesMethod : method; }
};

struct ZipDirectory {
    std::vector<ZipEntry> entries;
    std::string comment;
    std::string rawComment;  // bytes as stored
    // Set when the end records are damaged although the directory could be read
    // (a zip64 locator pointing elsewhere, counts that disagree): what is wrong.
    std::string endProblem;
    std::int64_t bias = 0;            // bytes before the archive proper (self-extractor prefix)
    std::uint64_t centralOffset = 0;  // as stored
    std::uint64_t centralSize = 0;
    std::uint64_t endOffset = 0;    // file position of the end record (zip64 end if any)
    std::uint32_t diskNumber = 0;   // disk of the end record (0 = single file)
    std::uint32_t centralDisk = 0;  // disk where the central directory starts
    std::uint64_t fileSize = 0;
};

// Little-endian helpers.
inline std::uint16_t rd16(const unsigned char* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t rd32(const unsigned char* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline std::uint64_t rd64(const unsigned char* p) { return rd32(p) | (std::uint64_t(rd32(p + 4)) << 32); }
inline void put16(std::string& s, std::uint16_t v) {
    s.push_back(char(v & 0xff));
    s.push_back(char(v >> 8));
}
inline void put32(std::string& s, std::uint32_t v) {
    put16(s, std::uint16_t(v));
    put16(s, std::uint16_t(v >> 16));
}
inline void put64(std::string& s, std::uint64_t v) {
    put32(s, std::uint32_t(v));
    put32(s, std::uint32_t(v >> 32));
}

// Text conversions of names.
std::string cp437ToUtf8(const std::string& bytes);
bool isValidUtf8(const std::string& bytes);

// DOS date/time <-> seconds since the epoch (local time, as zip stores it).
std::int64_t dosToUnix(std::uint16_t date, std::uint16_t time);
void unixToDos(std::int64_t t, std::uint16_t& date, std::uint16_t& time);
// "dd-mm-yy hh:mm" in local time.
std::string modifiedText(std::int64_t t);

// The modification time of an extended timestamp field (32 bits, read with the
// entry's DOS date to tell dates after 2038 from dates before 1970), and whether a
// time fits into the field at all (else only the DOS date holds it).
std::int64_t extendedTime(std::uint32_t stored, std::uint16_t dosDate);
bool hasExtendedTime(std::int64_t t);

// The extra fields without any field of the given id.
std::string withoutExtraField(const std::string& extra, std::uint16_t id);

// Parses the extra fields of a central or local record into `e` (zip64 sizes,
// extended timestamp, Unicode path, AES). `central` tells which zip64 layout applies.
// Returns false when a field is malformed.
bool parseExtra(const std::string& extra, ZipEntry& e, bool central, bool sizeMax, bool packedMax, bool offsetMax,
                bool diskMax);

}  // namespace quarva::engine
