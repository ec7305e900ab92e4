#pragma once
// UU and XX encoding: our own encoder and decoder for both (the "begin mode name"
// / length-prefixed lines / "end" text form; optionally a "table" header that
// carries the decoding alphabet).

#include <cstring>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>

#include "formatlib/formats/Format.h"

namespace quarva::formatlib {

enum class TextCode { UU, XX };

const std::string& alphabet(TextCode code);

// Writes `name` with the data of `in` as encoded text. With `table` the alphabet
// precedes the "begin" line. Returns false (with *error) when reading or writing fails.
bool encodeText(TextCode code, bool table, const std::string& name, unsigned mode, DataSource& in, std::ostream& out,
                std::string* error);

// Which code the text most likely uses (by its first body line); nullopt when it
// is not encoded text at all.
std::optional<TextCode> sniffText(const std::uint8_t* head, std::size_t size);

// Reads every "begin ... end" block of an encoded text as one entry.
class TextCodeReader : public ArchiveReader {
public:
    TextCodeReader(const std::filesystem::path& path, TextCode code);
    bool opened() const { return opened_; }
    int next(EntryInfo& entry) override;
    long read(void* buffer, std::size_t size) override;
    std::string error() const override { return error_; }
    unsigned kind() const override;
    std::string formatName() const override { return code_ == TextCode::UU ? "uue" : "xxe"; }

private:
    bool readLine(std::string& line);
    // Decodes one body line into `out`; false on a malformed line, true with
    // *end set at the zero-length line.
    bool decodeLine(const std::string& line, std::string& out, bool* end);
    // Reads the body lines up to the zero-length line, adding their decoded bytes to
    // *size; false (error_ set) on a malformed line or a text that ends first.
    bool passBody(std::uint64_t* size);

    std::ifstream in_;
    bool opened_ = false;
    TextCode code_;
    int table_[256];
    std::string error_;
    std::string pending_;
    std::size_t pendingAt_ = 0;
    bool inBody_ = false;
    std::uint64_t lineNo_ = 0;
    std::uint64_t consumed_ = 0, fileSize_ = 0;  // bytes of the text read, of all of it
    std::time_t mtime_ = 0;
};

}  // namespace quarva::formatlib
