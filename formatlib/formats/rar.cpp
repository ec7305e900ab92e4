// rar (RAR 4 and the parts of RAR 5 libarchive reads): read only.

#include <archive.h>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

class RarHandler : public HandlerBase {
public:
    RarHandler() : HandlerBase("rar", {"rar"}, kCanRead) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override
    {
        return startsWith(head, size, "Rar!\x1a\x07", 6) ? 90 : 0;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string& password,
                                              std::string* error) const override
    {
        auto r = std::make_unique<LibarchiveReader>(
            path,
            [](struct archive* a) {
                archive_read_support_format_rar(a);
                archive_read_support_format_rar5(a);
            },
            password, kKindOther, "rar");
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::string unsupportedReason() const override { return "rar archives can be read but not written"; }
};

}  // namespace

const FormatHandler& rarHandler()
{
    static RarHandler h;
    return h;
}

}  // namespace quarva::formatlib
