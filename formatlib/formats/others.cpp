// Archive formats libarchive reads that the suite only unpacks: cpio, ar and ISO
// 9660 images. (Not xar: libarchive 3.6 loops without end on a damaged one.) Read only; chosen by their signatures.

#include <archive.h>

#include <fstream>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

using Setup = void (*)(struct archive*);
using Bid = int (*)(const std::uint8_t*, std::size_t, const std::filesystem::path&);

class ReadOnlyHandler : public HandlerBase {
public:
    ReadOnlyHandler(const char* name, std::vector<std::string> ext, Bid bid, Setup setup)
        : HandlerBase(name, std::move(ext), kCanRead), bid_(bid), setup_(setup) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path) const override {
        return bid_(head, size, path);
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override {
        auto r = std::make_unique<LibarchiveReader>(path, setup_, std::string(), kKindOther, name());
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

}  // namespace

std::vector<const FormatHandler*> readOnlyHandlers() {
    static ReadOnlyHandler cpio("cpio", {"cpio"}, bidCpio,
                                [](struct archive* a) { archive_read_support_format_cpio(a); });
    static ReadOnlyHandler ar("ar", {"ar", "a", "deb"}, bidAr,
                              [](struct archive* a) { archive_read_support_format_ar(a); });
    static ReadOnlyHandler iso("iso", {"iso"}, bidIso,
                               [](struct archive* a) { archive_read_support_format_iso9660(a); });
    return {&cpio, &ar, &iso};
}

}  // namespace quarva::formatlib
