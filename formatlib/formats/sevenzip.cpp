// 7z: read through libarchive (not encrypted archives); read only.

#include <archive.h>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

class SevenZipHandler : public HandlerBase {
public:
    SevenZipHandler() : HandlerBase("7z", {"7z"}, kCanRead) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override
    {
        return startsWith(head, size, "7z\xbc\xaf\x27\x1c", 6) ? 90 : 0;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override
    {
        auto r = std::make_unique<LibarchiveReader>(
            path, [](struct archive* a) { archive_read_support_format_7zip(a); }, std::string(), kKindOther, "7z");
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
};

}  // namespace

const FormatHandler& sevenZipHandler()
{
    static SevenZipHandler h;
    return h;
}

}  // namespace quarva::formatlib
