// 7z: read through libarchive; what libarchive cannot read (encrypted data or
// names, filters it does not know, a set of volumes) through 7z where it is
// installed. Read only. A 7z behind a program stub (self-extracting) is read too.

#include <archive.h>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/External.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

constexpr char kSignature[] = "7z\xbc\xaf\x27\x1c";
// How far into a self-extracting program the archive is looked for.
constexpr std::uint64_t kStubLimit = 4u << 20;

void setup(struct archive* a) { archive_read_support_format_7zip(a); }

class SevenZipHandler : public HandlerBase {
public:
    SevenZipHandler() : HandlerBase("7z", {"7z", "001"}, kCanRead) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path) const override {
        return bidSignatureOrStub(head, size, path, kSignature, 6, kStubLimit);
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string& password,
                                              std::string* error) const override {
        const std::string shortfall = libarchiveShortfall(path, setup);
        if ((!shortfall.empty() || !password.empty()) && !sevenZipProgram().empty()) {
            std::string why;
            auto r = openThroughSevenZip(path, password, "7z", &why);
            if (r) return r;
            // A password problem is the answer; otherwise libarchive lists what it can
            // and every entry it cannot read says why.
            if (why.find("password") != std::string::npos || shortfall.empty()) {
                *error = why;
                return nullptr;
            }
        }
        return readThroughLibarchive(path, setup, std::string(), kKindOther, "7z", !shortfall.empty(), error);
    }
    std::optional<int> quickCount(const std::filesystem::path& path) const override {
        if (libarchiveShortfall(path, setup).empty() || sevenZipProgram().empty()) return std::nullopt;
        return countThroughSevenZip(path, {});
    }
    std::string unsupportedReason() const override { return "7z archives can be read but not written"; }
};

}  // namespace

const FormatHandler& sevenZipHandler() { return onlyInstance<SevenZipHandler>(); }

}  // namespace quarva::formatlib
