// gz: one compressed file. Read through libarchive; written with zlib so that the
// header keeps the file's name and time.

#include <archive.h>
#include <zlib.h>

#include <cstdio>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Abort.h"
#include "formatlib/formats/GzipHeader.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

class GzWriter : public ArchiveWriter {
public:
    explicit GzWriter(const std::filesystem::path& path) : out_(std::fopen(path.c_str(), "wb")) {}
    ~GzWriter() override {
        if (out_) std::fclose(out_);
    }
    bool ok() const { return out_ != nullptr; }
    bool needsSize() const override { return false; }

    bool add(const EntryInfo& entry, DataSource* data) override {
        if (entry.isDir()) return true;  // a gz holds no folders; the file alone counts
        if (entry.isSymlink() || !data) {
            error_ = "a gz file holds one ordinary file";
            return false;
        }
        if (done_) {
            error_ = "a gz file holds exactly one file; use a .tar.gz for several";
            return false;
        }
        done_ = true;
        z_stream z{};
        if (deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            error_ = "Not enough memory";
            return false;
        }
        std::string name = entry.name;
        const auto slash = name.find_last_of('/');
        if (slash != std::string::npos) name = name.substr(slash + 1);
        gz_header h{};
        h.time = static_cast<uLong>(entry.mtime);
        h.os = 3;
        h.name = reinterpret_cast<Bytef*>(name.data());
        deflateSetHeader(&z, &h);
        std::vector<unsigned char> in(64 * 1024), out(64 * 1024);
        bool good = true;
        for (bool end = false; !end && good;) {
            if (abortRequested()) {
                error_ = "Operation aborted";
                good = false;
                break;
            }
            long n = data->read(in.data(), in.size());
            if (n < 0) {
                error_ = data->error().empty() ? "cannot read the data" : data->error();
                good = false;
                break;
            }
            end = n == 0;
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(n);
            do {
                z.next_out = out.data();
                z.avail_out = static_cast<uInt>(out.size());
                deflate(&z, end ? Z_FINISH : Z_NO_FLUSH);
                const std::size_t have = out.size() - z.avail_out;
                if (have && std::fwrite(out.data(), 1, have, out_) != have) {
                    error_ = "cannot write the file (disk full?)";
                    good = false;
                    break;
                }
            } while (z.avail_out == 0);
        }
        deflateEnd(&z);
        return good;
    }
    bool finish() override {
        if (!out_) return false;
        const bool good = std::fflush(out_) == 0 && std::fclose(out_) == 0;
        out_ = nullptr;
        if (!done_) {
            error_ = "a gz file needs one file";
            return false;
        }
        if (!good) error_ = "cannot write the file (disk full?)";
        return good;
    }
    std::string error() const override { return error_; }

private:
    std::FILE* out_;
    bool done_ = false;
    std::string error_;
};

class GzHandler : public HandlerBase {
public:
    GzHandler() : HandlerBase("gz", {"gz", "gzip"}, kCanRead | kCanCreate) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override {
        return filterMagic(ARCHIVE_FILTER_GZIP, head, size) ? bids::kCompressedFile : bids::kNone;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override {
        std::string stored = gzipStoredName(path);
        if (stored.empty()) stored = stripLastExtension(path);
        auto r = std::make_unique<LibarchiveReader>(
            path,
            [](struct archive* a) {
                archive_read_support_format_tar(a);
                archive_read_support_format_raw(a);
                archive_read_support_format_empty(a);  // nothing inside: no entry, as bsdtar reads it
            },
            std::string(), kKindOther, "gz", stored, ARCHIVE_FILTER_GZIP);
        if (const std::time_t t = gzipStoredTime(path)) r->setRawTime(t);
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions&,
                                              std::string* error) const override {
        return startWriter<GzWriter>(path, "cannot create the file", error);
    }
};

}  // namespace

const FormatHandler& gzHandler() { return onlyInstance<GzHandler>(); }

}  // namespace quarva::formatlib
