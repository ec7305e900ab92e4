#pragma once
// Reading an archive: the central directory, local headers, and the data of one
// entry (decrypted, decompressed, checked) into a sink.

#include "engine/ZipFormat.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace quarva::engine {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    // errno-based status: 0, 100 (missing), 400 (no access).
    std::int16_t open(const std::string& path);
    bool read(std::uint64_t offset, void* buf, std::size_t n) const;
    // Lets go of the file (before a disk is taken out of the drive).
    void close();
    std::uint64_t size() const { return size_; }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// Reads the directory. Status: 0; 110 zero length or no end record; 410 corrupt;
// 430 a spanned set (the end record is on a later disk); 120 when it is too large.
// The archive comment is filled in as soon as the end record is found, even when
// the directory itself turns out damaged.
// With `allowSpanned`, the last disk of a spanned set is read too (its directory
// must start on that disk; local offsets then refer to each entry's own disk).
// Names stored without the UTF-8 flag or a Unicode path are read in `namesCharset`
// where they are valid in it (see LegacyNames.h); empty: the automatic choice.
std::int16_t readDirectory(const InputFile& file, ZipDirectory& dir, bool allowSpanned = false,
                           const std::string& namesCharset = {});

// Who reads an archive's entries. The engine reads every zip whose directory it
// finds, unless some entry is packed with a method only the format library's zip
// reader decodes (PPMd); a zip that starts with a local header but has no
// directory the engine can read (streamed, or cut off before its end) can be
// read by that reader from its local headers. Anything else stays with the engine,
// whose messages say why it cannot be read.
enum class ZipReading { Engine, LocalHeaders, OtherMethods };
ZipReading zipReading(const std::string& path);

// True when the first entry uses strong encryption (its directory is then often
// encrypted too): nothing here reads it.
bool startsStronglyEncrypted(const InputFile& file);

// The bytes in front of the first entry (or of the directory): a self-extractor's
// program. Rewrites keep them.
std::uint64_t prefixLength(const ZipDirectory& dir);

// Limits on where each entry's data may lie: the next local header start (or the
// central directory). Entries that share their header with another get 0.
std::vector<std::uint64_t> dataLimits(const ZipDirectory& dir);

enum class DecodeResult { Ok, Aborted, NeedPassword, Reason, SinkFailed };

struct DecodeOutcome {
    DecodeResult result = DecodeResult::Ok;
    std::int16_t reason = 0;  // skip reason when result is Reason
    std::uint32_t crc = 0;
    std::uint64_t written = 0;
};

using DataSink = std::function<bool(const unsigned char* data, std::size_t n)>;

// Deflated entries up to this size (packed and plain) are decoded in one piece, in
// memory; larger ones stream in blocks.
constexpr std::uint64_t kWholeBufferLimit = 64ull << 20;

// Decodes one entry. `limit` is the end of the region the entry may use (from
// dataLimits). Output never exceeds the declared size; the CRC is checked.
// `wholeLimit` lowers the size decoded in one piece (memory: twice that per thread).
DecodeOutcome decodeEntry(const InputFile& file, const ZipDirectory& dir, const ZipEntry& e, std::uint64_t limit,
                          const std::string& password, const std::atomic<bool>& abort, const DataSink& sink,
                          std::uint64_t wholeLimit = kWholeBufferLimit);

// The start of the entry's data after its local header; false when the header is
// damaged or lies outside the file.
bool localDataStart(const InputFile& file, const ZipDirectory& dir, const ZipEntry& e, std::uint64_t& dataStart);

}  // namespace quarva::engine
