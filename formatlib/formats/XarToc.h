#pragma once
// The table of contents of a xar archive: XML text naming every entry as a <file>
// element (folders hold their entries as child elements), with the place of each
// entry's data in the heap after the table. Read into a flat list in the order the
// entries are handed out: a folder before what it holds, a file before its hard links.

#include <cstdint>
#include <string>
#include <vector>

#include "formatlib/formats/Format.h"

namespace quarva::formatlib::xar {

// How an entry's data is stored in the heap.
enum class Encoding { None, Zlib, Bzip2, Xz };

struct Checksum {
    std::string style;  // "sha1", "md5", "sha256", "sha512"; empty when there is none
    std::string hex;    // lower-case hexadecimal digest
};

struct Item {
    EntryInfo info;
    bool hasData = false;
    std::uint64_t offset = 0, length = 0;  // the stored bytes, counted from the start of the heap
    Encoding encoding = Encoding::None;
    Checksum archived, extracted;
    // Why the entry cannot be named or placed (it is skipped with this message), and
    // why its data cannot be read (it is listed, its data fails); empty when fine.
    std::string problem, dataProblem;
};

struct Toc {
    std::vector<Item> items;
    // The checksum of the compressed table itself, stored in the heap.
    bool hasChecksum = false;
    std::string checksumStyle;
    std::uint64_t checksumOffset = 0, checksumSize = 0;
};

// Parses the uncompressed table; false with *error when the text is no table of
// contents at all. Damage confined to one entry lands in that entry's problem.
bool parseToc(const char* text, std::size_t size, Toc& toc, std::string* error);

}  // namespace quarva::formatlib::xar
