// lha/lzh: read through libarchive (lh0, lh5, lh6, lh7, lzs ...), written by our own
// writer (formats/LhaWriter.cpp).

#include <archive.h>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LhaHeaders.h"
#include "formatlib/formats/LhaWriter.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

class LhaHandler : public HandlerBase {
public:
    LhaHandler() : HandlerBase("lha", {"lzh", "lha"}, kCanRead | kCanCreate | kCanAdd | kCanDelete) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override {
        // "-lh?-" or "-lz?-": the dashes and the two letters all have to stand.
        const std::uint8_t* m = head + marks::lha::kMethod;
        if (size < marks::lha::kMinHeader || m[0] != '-' || m[4] != '-' || m[1] != 'l') return bids::kNone;
        return m[2] == 'h' || m[2] == 'z' ? bids::kSignature : bids::kNone;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override {
        auto r = std::make_unique<AnnotatedReader>(
            path, [](struct archive* a) { archive_read_support_format_lha(a); }, std::string(), kKindOther, "lha",
            readLhaHeaders(path));
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::string refuses(const EntryInfo& entry) const override { return LhaWriter::refuses(entry); }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions&,
                                              std::string* error) const override {
        return startWriter<LhaWriter>(path, "cannot create the file", error);
    }
};

}  // namespace

const FormatHandler& lhaHandler() { return onlyInstance<LhaHandler>(); }

}  // namespace quarva::formatlib
