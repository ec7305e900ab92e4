// rar (RAR 4 and the parts of RAR 5 libarchive reads): read only. What libarchive
// cannot read (encrypted entries, sets of volumes, methods it does not know) goes
// through 7z where it is installed. A rar behind a program stub is read too.

#include <archive.h>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/External.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

constexpr char kSignature[] = "Rar!\x1a\x07";
constexpr std::uint64_t kStubLimit = 4u << 20;

void setup(struct archive* a) {
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
}

// Reads a RAR 5 variable-length number; false when it runs past the end.
bool vint(const std::uint8_t* h, std::size_t n, std::size_t& p, std::uint64_t& v) {
    v = 0;
    for (int shift = 0; p < n && shift < 64; shift += 7) {
        const std::uint8_t b = h[p++];
        v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
        if (!(b & 0x80)) return true;
    }
    return false;
}

// True when the archive's main header marks it as one volume of a set.
bool isVolume(const std::uint8_t* h, std::size_t n) {
    if (n >= 12 && std::memcmp(h, "Rar!\x1a\x07\x00", 7) == 0)
        return h[9] == 0x73 && (h[10] & 0x01);  // RAR 4: main header, flag "volume"
    if (n >= 16 && std::memcmp(h, "Rar!\x1a\x07\x01\x00", 8) == 0) {
        std::size_t p = 12;  // past the header's CRC
        std::uint64_t size, type, flags, extra = 0, archiveFlags;
        if (!vint(h, n, p, size) || !vint(h, n, p, type) || type != 1 || !vint(h, n, p, flags)) return false;
        if ((flags & 1) && !vint(h, n, p, extra)) return false;
        return vint(h, n, p, archiveFlags) && (archiveFlags & 1);
    }
    return false;
}

class RarHandler : public HandlerBase {
public:
    RarHandler() : HandlerBase("rar", {"rar"}, kCanRead) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path) const override {
        return bidSignatureOrStub(head, size, path, kSignature, 6, kStubLimit);
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string& password,
                                              std::string* error) const override {
        const auto head = readHead(path, 64);
        std::string shortfall = isVolume(head.data(), head.size()) ? "the archive is one volume of a set"
                                                                   : libarchiveShortfall(path, setup);
        if (!shortfall.empty() && !sevenZipProgram().empty()) {
            std::string why;
            auto r = openThroughSevenZip(path, password, "rar", &why);
            if (r) return r;
            // 7z could not either: libarchive reads what it can and says why for the rest.
        }
        return readThroughLibarchive(path, setup, password, kKindOther, "rar", !shortfall.empty(), error);
    }
    std::string unsupportedReason() const override { return "rar archives can be read but not written"; }
};

}  // namespace

const FormatHandler& rarHandler() { return onlyInstance<RarHandler>(); }

}  // namespace quarva::formatlib
