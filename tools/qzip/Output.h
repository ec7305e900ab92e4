#pragma once
// How qzip writes names, times and tables: the way people on Linux read them, and
// safe for the terminal whatever bytes an archive holds.

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace quarva::qzip {

// A stored name as it may be printed: control characters as \n, \r, \t or \xNN and
// bytes that are not UTF-8 as \xNN, so a hostile name cannot move the cursor or
// hide in a listing. A literal backslash is doubled only when escapes were needed.
std::string printableName(const std::string& name);
// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(const std::string& text);
// "\" separators of the engine's records as "/".
std::string withSlashes(std::string name);

// "2026-12-08 13:05" in local time.
std::string dateText(std::int64_t unixTime);
// "2026-12-08T13:05:09+01:00" in local time with its offset.
std::string isoTime(std::int64_t unixTime);
// A JSON string literal, quotes included; bytes that are not UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);

// One row of a listing, whatever the format; an empty optional prints as "-".
struct ListedEntry {
    std::string name;  // "/" between folders
    bool isDir = false;
    std::optional<std::uint64_t> size, packed;
    std::optional<std::int64_t> mtime;
    std::optional<std::uint32_t> crc;
    std::string method;             // "deflate", "lzma", ... empty when unknown
    std::optional<bool> encrypted;  // unknown for formats that do not say
    std::string encryption;         // "aes256", "zipcrypto", ... empty when none or unknown
};

// Names of zip methods and encryptions as listings show them ("deflate", "aes256").
const char* methodName(int method);
const char* encryptionName(int encryption);

// The same columns and totals line for every format, or a JSON array; rows are
// written as they come.
class Listing {
public:
    Listing(std::FILE* out, bool json) : out_(out), json_(json) {}
    void add(const ListedEntry& entry);
    // The totals line, or the end of the JSON array.
    void finish();

private:
    std::FILE* out_;
    bool json_;
    std::size_t files_ = 0, folders_ = 0;
    std::uint64_t size_ = 0, packed_ = 0;
    bool packedKnown_ = true;
};

}  // namespace quarva::qzip
