// Archive formats libarchive reads that the suite only unpacks: cpio, ar, ISO 9660
// images, rpm packages (a cpio inside the package's compressed payload) and web
// archives (warc). (xar has a reader of its own: formats/xar.cpp.)
// mtree files are listed only: they describe files without holding their content,
// and libarchive is told never to look for that content on this machine. Read
// only; chosen by their signatures.

#include <archive.h>

#include <fstream>
#include <sstream>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

using Setup = void (*)(struct archive*);
using Bid = int (*)(const std::uint8_t*, std::size_t, const std::filesystem::path&);

// A reader of a manifest: every entry is only described.
class ManifestReader : public LibarchiveReader {
public:
    using LibarchiveReader::LibarchiveReader;
    bool holdsContent() const override { return false; }
};

class ReadOnlyHandler : public HandlerBase {
public:
    enum class Data {
        Plain,
        Padded,     // zero bytes follow each entry's data (warc's separator): dropped
        Described,  // a manifest: no entry's content is in the file
    };
    // `filters`: the compression layers the content may sit in (none: the file is
    // the archive itself).
    ReadOnlyHandler(const char* name, std::vector<std::string> ext, Bid bid, Setup setup, std::vector<int> filters = {},
                    Data data = Data::Plain)
        : HandlerBase(name, std::move(ext), kCanRead),
          bid_(bid),
          setup_(setup),
          filters_(std::move(filters)),
          manifest_(data == Data::Described),
          padded_(data == Data::Padded) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path) const override {
        return bid_(head, size, path);
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override {
        std::unique_ptr<LibarchiveReader> r;
        if (manifest_) r = std::make_unique<ManifestReader>(path, setup_, kKindOther, name(), filters_);
        else r = std::make_unique<LibarchiveReader>(path, setup_, kKindOther, name(), filters_);
        if (padded_) r->endAtDeclaredSize();
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::string unsupportedReason() const override {
        return std::string(name()) + " archives can be read but not written";
    }

private:
    Bid bid_;
    Setup setup_;
    std::vector<int> filters_;
    bool manifest_;
    bool padded_;
};

bool mark(const std::uint8_t* h, std::size_t n, const char* m, std::size_t len) {
    return n >= len && std::memcmp(h, m, len) == 0;
}

// Portable ("070707") and new ("070701", "070702") cpio headers, or the old binary
// header in either byte order with a plausible name after it.
int bidCpio(const std::uint8_t* h, std::size_t n, const std::filesystem::path&) {
    if (mark(h, n, "070707", 6) || mark(h, n, "070701", 6) || mark(h, n, "070702", 6)) return bids::kSignature;
    using namespace marks::cpio;
    if (n < kHeader + 2) return bids::kNone;
    const bool little = h[0] == 0xc7 && h[1] == 0x71, big = h[0] == 0x71 && h[1] == 0xc7;
    if (!little && !big) return bids::kNone;
    const std::uint8_t* size = h + kNameSize;
    const unsigned nameSize = little ? (size[0] | (size[1] << 8)) : ((size[0] << 8) | size[1]);
    const std::uint8_t* name = h + kHeader;
    if (nameSize < 2 || nameSize > 1024 || kHeader + nameSize > n || name[nameSize - 1] != 0) return bids::kNone;
    for (unsigned i = 0; i + 1 < nameSize; ++i)
        if (name[i] < 0x20) return bids::kNone;
    return bids::kSignature;
}
int bidAr(const std::uint8_t* h, std::size_t n, const std::filesystem::path&) {
    return mark(h, n, "!<arch>\n", 8) ? bids::kSignature : bids::kNone;
}
// The primary volume descriptor of an ISO 9660 image, at 32 KiB.
int bidIso(const std::uint8_t*, std::size_t, const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char d[6] = {};
    in.seekg(marks::iso::kDescriptor);
    if (!in.read(d, 6)) return bids::kNone;
    return d[0] == 1 && std::memcmp(d + 1, "CD001", 5) == 0 ? bids::kSignature : bids::kNone;
}

// The lead of an rpm package (version 3 or 4) and its signature header after it.
int bidRpm(const std::uint8_t* h, std::size_t n, const std::filesystem::path&) {
    using namespace marks::rpm;
    if (n < kLead + 4 || !mark(h, n, "\xed\xab\xee\xdb", 4)) return bids::kNone;
    if (h[kVersion] != 3 && h[kVersion] != 4) return bids::kNone;
    return std::memcmp(h + kLead, "\x8e\xad\xe8\x01", 4) == 0 ? bids::kSignature : bids::kNone;
}
// "WARC/1.0" and the like, ended by CR LF.
int bidWarc(const std::uint8_t* h, std::size_t n, const std::filesystem::path&) {
    if (!mark(h, n, "WARC/", 5)) return bids::kNone;
    std::size_t p = marks::warc::kVersion;
    auto digits = [&] {
        const std::size_t from = p;
        while (p < n && p - from < 4 && h[p] >= '0' && h[p] <= '9') ++p;
        return p > from;
    };
    if (!digits() || p >= n || h[p++] != '.' || !digits()) return bids::kNone;
    return p + 1 < n && h[p] == '\r' && h[p + 1] == '\n' ? bids::kSignature : bids::kNone;
}

// True for a word of an mtree record: a keyword, alone or with "=value".
bool mtreeKeyword(const std::string& word) {
    static const char* const known[] = {
        "cksum",  "contents",     "device",    "flags",      "gid",    "gname",        "ignore",   "inode",
        "link",   "md5",          "md5digest", "mode",       "nlink",  "nochange",     "optional", "resdevice",
        "rmd160", "rmd160digest", "sha1",      "sha1digest", "sha256", "sha256digest", "sha384",   "sha384digest",
        "sha512", "sha512digest", "size",      "tags",       "time",   "type",         "uid",      "uname",
    };
    const std::string key = word.substr(0, word.find('='));
    for (const char* k : known)
        if (key == k) return true;
    return false;
}

// "#mtree" on the first line; or text whose every line (of the first few) is a
// comment, "..", "/set" or "/unset", or a name with keywords of which one sets a value.
int bidMtree(const std::uint8_t* h, std::size_t n, const std::filesystem::path&) {
    if (mark(h, n, "#mtree", 6) && (n == 6 || h[6] == '\n' || h[6] == '\r' || h[6] == ' ' || h[6] == '\t'))
        return bids::kSignature;
    for (std::size_t i = 0; i < n; ++i)
        if (h[i] < 0x20 && h[i] != '\n' && h[i] != '\r' && h[i] != '\t') return bids::kNone;
    // Only whole lines count: the last one may be cut by the end of the head.
    const std::size_t end = n == 0 ? 0 : std::string_view(reinterpret_cast<const char*>(h), n).rfind('\n');
    if (end == std::string_view::npos) return bids::kNone;
    std::istringstream lines(std::string(reinterpret_cast<const char*>(h), end));
    std::string line;
    int records = 0;
    for (std::size_t looked = 0; looked < marks::mtree::kLinesLooked && std::getline(lines, line); ++looked) {
        std::istringstream words(line);
        std::string word;
        int names = 0, keys = 0, values = 0;
        bool first = true, special = false;
        while (words >> word) {
            if (first && (word[0] == '#' || word == ".." || word == "/set" || word == "/unset")) {
                special = true;
                break;
            }
            first = false;
            if (mtreeKeyword(word)) {
                ++keys;
                values += word.find('=') != std::string::npos;
            } else {
                ++names;
            }
        }
        if (special || (names == 0 && keys == 0)) continue;
        if (names != 1 || values == 0) return bids::kNone;
        ++records;
    }
    return records > 0 ? bids::kWeakMark : bids::kNone;
}

}  // namespace

std::vector<const FormatHandler*> readOnlyHandlers() {
    static ReadOnlyHandler cpio("cpio", {"cpio"}, bidCpio,
                                [](struct archive* a) { archive_read_support_format_cpio(a); });
    static ReadOnlyHandler ar("ar", {"ar", "a", "deb"}, bidAr,
                              [](struct archive* a) { archive_read_support_format_ar(a); });
    static ReadOnlyHandler iso("iso", {"iso"}, bidIso,
                               [](struct archive* a) { archive_read_support_format_iso9660(a); });
    // An rpm's payload is a cpio (a tar in a few packages made by other tools).
    static ReadOnlyHandler rpm("rpm", {"rpm"}, bidRpm,
                               [](struct archive* a) {
                                   archive_read_support_format_cpio(a);
                                   archive_read_support_format_tar(a);
                               },
                               {ARCHIVE_FILTER_RPM, ARCHIVE_FILTER_GZIP, ARCHIVE_FILTER_BZIP2, ARCHIVE_FILTER_XZ,
                                ARCHIVE_FILTER_ZSTD, ARCHIVE_FILTER_LZMA});
    static ReadOnlyHandler warc(
        "warc", {"warc"}, bidWarc, [](struct archive* a) { archive_read_support_format_warc(a); }, {},
        ReadOnlyHandler::Data::Padded);
    // Never "checkfs": the content of the files described is not looked for on this machine.
    static ReadOnlyHandler mtree(
        "mtree", {"mtree"}, bidMtree,
        [](struct archive* a) {
            archive_read_support_format_mtree(a);
            archive_read_set_format_option(a, "mtree", "checkfs", nullptr);
        },
        {}, ReadOnlyHandler::Data::Described);
    return {&cpio, &ar, &iso, &rpm, &warc, &mtree};
}

}  // namespace quarva::formatlib
