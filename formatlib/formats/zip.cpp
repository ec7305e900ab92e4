// zip and jar (and a zip behind a program stub: a self-extractor). Read and written
// through libarchive for now; passwords use ZipCrypto.

#include <archive.h>

#include <fstream>
#include <map>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"
#include "formatlib/formats/LibarchiveWriter.h"
#include "formatlib/formats/ZipData.h"

namespace quarva::formatlib {
namespace {

// True when the last 64 KiB of the file hold a zip end-of-central-directory record.
bool hasZipTrailer(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const auto size = static_cast<std::uint64_t>(in.tellg());
    const std::uint64_t span = std::min<std::uint64_t>(size, 66 * 1024);
    std::vector<char> tail(span);
    in.seekg(static_cast<std::streamoff>(size - span));
    if (!in.read(tail.data(), static_cast<std::streamsize>(span))) return false;
    for (std::size_t i = span >= 22 ? span - 22 + 1 : 0; i-- > 0;)
        if (std::memcmp(tail.data() + i, "PK\x05\x06", 4) == 0) return true;
    return false;
}

// A zip is read from its central directory; one without (streamed, or cut off
// before its end) from its local headers, one after the other.
std::unique_ptr<ArchiveReader> openZip(const std::filesystem::path& path, const std::string& password, const char* name,
                                       std::string* error) {
    auto directory = readZipCentralDirectory(path);
    const bool seekable = hasZipTrailer(path);
    auto r = std::make_unique<ZipReader>(
        path,
        [seekable](struct archive* a) {
            if (seekable) archive_read_support_format_zip_seekable(a);
            else archive_read_support_format_zip_streamable(a);
        },
        password, name, seekable ? std::move(directory) : ZipCentralDirectory{});
    if (!seekable) r->endAtFileEnd();
    if (!r->opened()) {
        *error = r->error();
        return nullptr;
    }
    return r;
}

std::unique_ptr<ArchiveWriter> createZip(const std::filesystem::path& path, const WriteOptions& options,
                                         std::string* error) {
    const std::string password = options.password;
    auto w = std::make_unique<LibarchiveWriter>(
        path,
        [password](struct archive* a) {
            if (archive_write_set_format_zip(a) != ARCHIVE_OK) return false;
            if (!password.empty()) {
                if (archive_write_set_options(a, "zip:encryption=zipcrypt") != ARCHIVE_OK) return false;
                if (archive_write_set_passphrase(a, password.c_str()) != ARCHIVE_OK) return false;
            }
            return true;
        },
        false);
    if (!w->ok()) {
        *error = w->error();
        return nullptr;
    }
    return w;
}

class ZipHandler : public HandlerBase {
public:
    ZipHandler(const char* name, std::vector<std::string> ext)
        : HandlerBase(name, std::move(ext), kCanRead | kCanCreate | kCanAdd | kCanDelete | kCanEncrypt) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override {
        if (startsWith(head, size, "PK\x03\x04", 4) || startsWith(head, size, "PK\x05\x06", 4)) return bids::kSignature;
        return bids::kNone;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string& password,
                                              std::string* error) const override {
        return openZip(path, password, name(), error);
    }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions& options,
                                              std::string* error) const override {
        return createZip(path, options, error);
    }
};

// A program followed by a zip payload. Only read here; ArcToSFX builds them.
class SfxHandler : public HandlerBase {
public:
    SfxHandler() : HandlerBase("zip (self-extracting)", {"exe"}, kCanRead) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path) const override {
        const bool program = startsWith(head, size,
                                        "\x7f"
                                        "ELF",
                                        4) ||
                             startsWith(head, size, "MZ", 2);
        return program && hasZipTrailer(path) ? bids::kBehindStub : bids::kNone;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string& password,
                                              std::string* error) const override {
        return openZip(path, password, name(), error);
    }
};

}  // namespace

const FormatHandler& zipHandler() {
    static ZipHandler h("zip", {"zip"});
    return h;
}
const FormatHandler& jarHandler() {
    static ZipHandler h("jar", {"jar"});
    return h;
}
const FormatHandler& sfxHandler() { return onlyInstance<SfxHandler>(); }

}  // namespace quarva::formatlib
