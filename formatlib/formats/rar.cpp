// rar (RAR 4 and the parts of RAR 5 libarchive reads): read only. A set of volumes
// ("name.part1.rar", "name.part2.rar"... or "name.rar", "name.r00", "name.r01"...)
// is read whole from any of its pieces. What libarchive cannot read (encrypted
// entries, methods it does not know) goes through 7z where it is installed. A rar
// behind a program stub is read too.

#include <archive.h>

#include <functional>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Names.h"
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

std::string zeroPadded(unsigned n, std::size_t width) {
    std::string digits = std::to_string(n);
    return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

// The pieces of the set `path` is one volume of, the first piece first, told by
// the names: "name.part1.rar" (the number of any width), or "name.rar" followed by
// "name.r00" to "name.r99", then "name.s00"... They end at the first name missing.
// Empty when the name follows neither pattern or the first piece is missing.
std::vector<std::filesystem::path> volumeSet(const std::filesystem::path& path) {
    constexpr unsigned kMostPieces = 1000;
    const std::filesystem::path folder = path.parent_path();
    const std::string name = path.filename().string();
    std::vector<std::filesystem::path> set;
    auto collect = [&](const std::function<std::string(unsigned)>& piece) {
        for (unsigned i = 0; i < kMostPieces; ++i) {
            std::error_code ec;
            const std::filesystem::path p = folder / piece(i);
            if (!std::filesystem::is_regular_file(p, ec)) break;
            set.push_back(p);
        }
    };
    const std::string lower = toLower(name);
    auto digitsBefore = [&](std::size_t end) {  // where the run of digits ending at `end` starts
        std::size_t b = end;
        while (b > 0 && lower[b - 1] >= '0' && lower[b - 1] <= '9') --b;
        return b;
    };
    const bool rar = lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".rar") == 0;
    const std::size_t numberStart = rar ? digitsBefore(lower.size() - 4) : 0;
    const bool upper = name.size() >= 3 && name[name.size() - 3] >= 'A' && name[name.size() - 3] <= 'Z';
    if (rar && numberStart < lower.size() - 4 && numberStart >= 5 && lower.compare(numberStart - 5, 5, ".part") == 0) {
        const std::string stem = name.substr(0, numberStart), ext = name.substr(lower.size() - 4);
        const std::size_t width = lower.size() - 4 - numberStart;
        collect([&](unsigned i) { return stem + zeroPadded(i + 1, width) + ext; });
    } else if (const std::size_t dot = lower.size() - 4;
               lower.size() > 4 && lower[dot] == '.' &&
               (rar || (lower[dot + 1] >= 'r' && lower[dot + 1] <= 'z' && digitsBefore(lower.size()) == dot + 2))) {
        const std::string stem = name.substr(0, dot);
        collect([&](unsigned i) {
            if (i == 0) return stem + (upper ? ".RAR" : ".rar");
            const char letter = static_cast<char>((upper ? 'R' : 'r') + (i - 1) / 100);
            return stem + "." + letter + zeroPadded((i - 1) % 100, 2);
        });
    }
    return set;
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
        const bool volume = isVolume(head.data(), head.size());
        std::vector<std::filesystem::path> volumes = volume ? volumeSet(path) : std::vector<std::filesystem::path>{};
        if (volumes.size() < 2) volumes.clear();
        // A piece alone: what lies wholly in it can still be read.
        const std::string alone = volume && volumes.empty()
                                      ? "this is one piece of a set whose other pieces are not beside it (looked for "
                                        "\"NAME.part1.rar\", \"NAME.part2.rar\"... or \"NAME.rar\", \"NAME.r00\"...)"
                                      : std::string();
        const std::filesystem::path first = volumes.empty() ? path : volumes.front();
        const std::string shortfall = alone.empty() ? libarchiveShortfall(first, setup, volumes) : alone;
        if (!shortfall.empty() && !sevenZipProgram().empty()) {
            std::string why;
            auto r = openThroughSevenZip(first, password, "rar", &why);
            if (r) return r;
            // 7z could not either: libarchive reads what it can and says why for the rest.
        }
        if (!volume) return readThroughLibarchive(path, setup, password, kKindOther, "rar", !shortfall.empty(), error);
        if (volumes.empty()) volumes.push_back(path);
        auto r = std::make_unique<LibarchiveReader>(volumes, setup, password, kKindOther, "rar");
        const std::string hint = alone.empty()
                                     ? "the set was read from " + first.filename().string() + " to " +
                                           volumes.back().filename().string() + ": a piece after that may be missing"
                                     : alone;
        if (!r->opened()) {
            *error = r->error() + "; " + hint;
            return nullptr;
        }
        r->setHint(hint);
        return r;
    }
    std::string unsupportedReason() const override { return "rar archives can be read but not written"; }
};

}  // namespace

const FormatHandler& rarHandler() { return onlyInstance<RarHandler>(); }

}  // namespace quarva::formatlib
