// tar (ustar, pax, gnu) and its compressed forms: gzip, bzip2, xz, zstd, lz4, lzma,
// lzip and compress (.Z). A plain compressed file that holds no tar reads as one entry.

#include <archive.h>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/GzipHeader.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"
#include "formatlib/formats/LibarchiveWriter.h"

namespace quarva::formatlib {
namespace {

bool isTarHeader(const std::uint8_t* head, std::size_t size) {
    using namespace marks::tar;
    constexpr std::size_t kChecksumEnd = kChecksum + kChecksumSize;
    if (size < kBlock) return false;
    if (std::memcmp(head + kMagic, "ustar", 5) == 0) return true;
    // Old-style tar: the checksum field holds octal digits matching the header.
    unsigned sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i) sum += (i >= kChecksum && i < kChecksumEnd) ? ' ' : head[i];
    unsigned stored = 0;
    bool digits = false;
    for (std::size_t i = kChecksum; i < kChecksumEnd && head[i]; ++i) {
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
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override {
        return isTarHeader(head, size) ? bids::kSignature : bids::kNone;
    }
    int tarFilter() const override { return ARCHIVE_FILTER_NONE; }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override {
        auto r = std::make_unique<LibarchiveReader>(
            path, [](struct archive* a) { archive_read_support_format_tar(a); }, std::string(), kKindOther, "tar");
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions&,
                                              std::string* error) const override {
        auto w = std::make_unique<LibarchiveWriter>(
            path, [](struct archive* a) { return archive_write_set_format_pax_restricted(a) == ARCHIVE_OK; }, true);
        if (!w->ok()) {
            *error = w->error();
            return nullptr;
        }
        return w;
    }
};

// A tar inside a compression filter, or a plain compressed file (one entry) for
// every filter but gzip, whose plain files the gz handler reads.
class CompressedTarHandler : public HandlerBase {
public:
    CompressedTarHandler(const char* name, std::vector<std::string> ext, int filter, unsigned caps)
        : HandlerBase(name, std::move(ext), caps), filter_(filter) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path) const override {
        if (!filterMagic(filter_, head, size)) return bids::kNone;
        if (filter_ == ARCHIVE_FILTER_GZIP) return gzipHoldsTar(path) ? bids::kCompressedTar : bids::kNone;
        const auto inner = filteredHead(path, filter_, 512);
        if (isTarHeader(inner.data(), inner.size())) return bids::kCompressedTar;
        if (!inner.empty()) return bids::kCompressedFile;
        // Nothing could be decoded: a damaged file of a format with a real mark is
        // still that format (its reader says what is wrong); lzma and compress have
        // marks too weak to claim a file on.
        const bool weakMark = filter_ == ARCHIVE_FILTER_LZMA || filter_ == ARCHIVE_FILTER_COMPRESS;
        return weakMark ? bids::kNone : bids::kCompressedFile;
    }
    int tarFilter() const override { return filter_; }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override {
        auto r = std::make_unique<LibarchiveReader>(
            path,
            [](struct archive* a) {
                archive_read_support_format_tar(a);
                archive_read_support_format_raw(a);
                archive_read_support_format_empty(a);  // nothing inside: no entry, as bsdtar reads it
            },
            std::string(), kKindOther, name(), stripLastExtension(path), filter_);
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions&,
                                              std::string* error) const override {
        if (!(capabilities() & kCanCreate)) return FormatHandler::openWriter(path, {}, error);
        const int filter = filter_;
        auto w = std::make_unique<LibarchiveWriter>(
            path,
            [filter](struct archive* a) {
                if (archive_write_set_format_pax_restricted(a) != ARCHIVE_OK) return false;
                switch (filter) {
                case ARCHIVE_FILTER_GZIP: return archive_write_add_filter_gzip(a) == ARCHIVE_OK;
                case ARCHIVE_FILTER_XZ: return archive_write_add_filter_xz(a) == ARCHIVE_OK;
                case ARCHIVE_FILTER_ZSTD: return archive_write_add_filter_zstd(a) == ARCHIVE_OK;
                default: return false;
                }
            },
            true);
        if (!w->ok()) {
            *error = w->error();
            return nullptr;
        }
        return w;
    }
    std::string unsupportedReason() const override {
        if (capabilities() & kCanCreate)
            return std::string(name()) + " archives are written whole: files cannot be added to or deleted from them";
        return std::string(name()) + " archives can be read but not written (written: tar, tar.gz, tar.xz, tar.zst)";
    }

private:
    int filter_;
};

}  // namespace

const FormatHandler& tarHandler() { return onlyInstance<TarHandler>(); }
const FormatHandler& tarGzHandler() {
    static CompressedTarHandler h("tar.gz", {"tar.gz", "tgz"}, ARCHIVE_FILTER_GZIP,
                                  kCanRead | kCanCreate | kCanAdd | kCanDelete);
    return h;
}
const FormatHandler& tarBz2Handler() {
    static CompressedTarHandler h("tar.bz2", {"tar.bz2", "tbz", "tbz2", "tb2", "bz2"}, ARCHIVE_FILTER_BZIP2, kCanRead);
    return h;
}
const FormatHandler& tarXzHandler() {
    static CompressedTarHandler h("tar.xz", {"tar.xz", "txz", "xz"}, ARCHIVE_FILTER_XZ, kCanRead | kCanCreate);
    return h;
}
const FormatHandler& tarZstdHandler() {
    static CompressedTarHandler h("tar.zst", {"tar.zst", "tzst", "zst"}, ARCHIVE_FILTER_ZSTD, kCanRead | kCanCreate);
    return h;
}
const FormatHandler& tarLz4Handler() {
    static CompressedTarHandler h("tar.lz4", {"tar.lz4", "lz4"}, ARCHIVE_FILTER_LZ4, kCanRead);
    return h;
}
const FormatHandler& tarLzmaHandler() {
    static CompressedTarHandler h("tar.lzma", {"tar.lzma", "tlz", "lzma"}, ARCHIVE_FILTER_LZMA, kCanRead);
    return h;
}
const FormatHandler& tarLzipHandler() {
    static CompressedTarHandler h("tar.lz", {"tar.lz", "tlz", "lz"}, ARCHIVE_FILTER_LZIP, kCanRead);
    return h;
}
const FormatHandler& tarCompressHandler() {
    static CompressedTarHandler h("tar.Z", {"tar.z", "taz", "z"}, ARCHIVE_FILTER_COMPRESS, kCanRead);
    return h;
}

}  // namespace quarva::formatlib
