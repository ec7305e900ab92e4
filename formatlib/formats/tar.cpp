// tar (ustar, pax, gnu) and its compressed forms tar.gz, tar.bz2, tar.xz.
// A plain .bz2/.xz that holds no tar reads as one entry.

#include <archive.h>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"
#include "formatlib/formats/LibarchiveWriter.h"

namespace quarva::formatlib {
namespace {

bool isTarHeader(const std::uint8_t* head, std::size_t size)
{
    if (size < 512) return false;
    if (std::memcmp(head + 257, "ustar", 5) == 0) return true;
    // Old-style tar: the checksum field holds octal digits matching the header.
    unsigned sum = 0;
    for (std::size_t i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : head[i];
    unsigned stored = 0;
    bool digits = false;
    for (std::size_t i = 148; i < 156 && head[i]; ++i) {
        if (head[i] >= '0' && head[i] <= '7') {
            stored = stored * 8 + (head[i] - '0');
            digits = true;
        } else if (head[i] != ' ') {
            return false;
        }
    }
    return digits && stored == sum && head[0] != 0;
}

class TarHandler : public HandlerBase {
public:
    TarHandler() : HandlerBase("tar", {"tar"}, kCanRead | kCanCreate | kCanAdd | kCanDelete) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override
    {
        return isTarHeader(head, size) ? 90 : 0;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override
    {
        auto r = std::make_unique<LibarchiveReader>(
            path, [](struct archive* a) { archive_read_support_format_tar(a); }, std::string(), kKindOther, "tar");
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions&,
                                              std::string* error) const override
    {
        auto w = std::make_unique<LibarchiveWriter>(
            path, [](struct archive* a) { return archive_write_set_format_pax_restricted(a) == ARCHIVE_OK; }, true);
        if (!w->ok()) {
            *error = w->error();
            return nullptr;
        }
        return w;
    }
};

// A tar inside a compression filter (or, for bz2/xz, a plain compressed file).
class CompressedTarHandler : public HandlerBase {
public:
    enum Filter { Gzip, Bzip2, Xz };
    CompressedTarHandler(const char* name, std::vector<std::string> ext, Filter f, unsigned caps)
        : HandlerBase(name, std::move(ext), caps), filter_(f) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path) const override
    {
        switch (filter_) {
        case Gzip: return startsWith(head, size, "\x1f\x8b", 2) && gzipHoldsTar(path) ? 85 : 0;
        case Bzip2: return startsWith(head, size, "BZh", 3) ? 80 : 0;
        case Xz: return startsWith(head, size, "\xfd" "7zXZ\0", 6) ? 80 : 0;
        }
        return 0;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override
    {
        const int code = filter_ == Gzip ? ARCHIVE_FILTER_GZIP : filter_ == Bzip2 ? ARCHIVE_FILTER_BZIP2 : ARCHIVE_FILTER_XZ;
        auto r = std::make_unique<LibarchiveReader>(
            path,
            [](struct archive* a) {
                archive_read_support_format_tar(a);
                archive_read_support_format_raw(a);
            },
            std::string(), kKindOther, name(), stripLastExtension(path), code);
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions&,
                                              std::string* error) const override
    {
        if (!(capabilities() & kCanCreate)) return FormatHandler::openWriter(path, {}, error);
        auto w = std::make_unique<LibarchiveWriter>(
            path,
            [](struct archive* a) {
                return archive_write_set_format_pax_restricted(a) == ARCHIVE_OK &&
                       archive_write_add_filter_gzip(a) == ARCHIVE_OK;
            },
            true);
        if (!w->ok()) {
            *error = w->error();
            return nullptr;
        }
        return w;
    }

private:
    Filter filter_;
};

}  // namespace

const FormatHandler& tarHandler()
{
    static TarHandler h;
    return h;
}
const FormatHandler& tarGzHandler()
{
    static CompressedTarHandler h("tar.gz", {"tar.gz", "tgz"}, CompressedTarHandler::Gzip,
                                  kCanRead | kCanCreate | kCanAdd | kCanDelete);
    return h;
}
const FormatHandler& tarBz2Handler()
{
    static CompressedTarHandler h("tar.bz2", {"tar.bz2", "tbz", "tbz2", "bz2"}, CompressedTarHandler::Bzip2, kCanRead);
    return h;
}
const FormatHandler& tarXzHandler()
{
    static CompressedTarHandler h("tar.xz", {"tar.xz", "txz", "xz"}, CompressedTarHandler::Xz, kCanRead);
    return h;
}

}  // namespace quarva::formatlib
