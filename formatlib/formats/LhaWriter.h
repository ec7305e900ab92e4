#pragma once
// Our own LHA writer: level-2 headers, entries compressed with -lh5- (LZSS over an
// 8 KiB window, static Huffman blocks), folders as -lhd-. No library writes LHA.

#include <cstdio>

#include "formatlib/formats/Format.h"

namespace quarva::formatlib {

// CRC-16 as LHA uses it (polynomial 0xA001, reflected, start 0).
std::uint16_t lhaCrc16(std::uint16_t crc, const std::uint8_t* data, std::size_t size);

// Compresses a whole buffer with -lh5- (used by the writer block by block, and by tests).
class Lh5Encoder {
public:
    explicit Lh5Encoder(std::vector<std::uint8_t>& out);
    void feed(const std::uint8_t* data, std::size_t size);
    void finish();

private:
    void process(bool final);
    void emitLiteral(std::uint8_t c);
    void emitMatch(unsigned length, unsigned distance);
    void flushBlock();
    void putBits(unsigned count, unsigned value);
    void insertHash(std::uint64_t pos);
    std::uint8_t at(std::uint64_t pos) const { return buf_[pos - base_]; }

    std::vector<std::uint8_t>& out_;
    std::vector<std::uint8_t> buf_;  // input; buf_[0] is absolute position base_
    std::uint64_t base_ = 0;
    std::uint64_t pos_ = 0;  // next position to encode
    std::vector<std::int64_t> head_;
    std::vector<std::int64_t> prev_;
    std::vector<std::uint16_t> symbols_;  // 0..255 literal, 256+ length code
    std::vector<std::uint16_t> offsets_;  // one per match
    std::uint32_t bitBuf_ = 0;
    unsigned bitCount_ = 0;
};

class LhaWriter : public ArchiveWriter {
public:
    explicit LhaWriter(const std::filesystem::path& path);
    ~LhaWriter() override;
    bool ok() const { return out_ != nullptr; }
    bool needsSize() const override { return false; }
    bool add(const EntryInfo& entry, DataSource* data) override;
    bool finish() override;
    std::string error() const override { return error_; }
    // Why `entry` cannot be written here, empty when it can: names are recorded as
    // UTF-8 (with the code page in an extended header) and a header holds at most
    // 65535 bytes.
    static std::string refuses(const EntryInfo& entry);

private:
    static std::vector<std::uint8_t> header(const EntryInfo& entry, const char* method, std::uint32_t packed,
                                            std::uint32_t original, std::uint16_t crc);
    bool writeHeader(const EntryInfo& entry, const char* method, std::uint32_t packed, std::uint32_t original,
                     std::uint16_t crc);
    bool writeAll(const std::vector<std::uint8_t>& bytes);
    std::FILE* out_;
    std::string error_;
};

}  // namespace quarva::formatlib
