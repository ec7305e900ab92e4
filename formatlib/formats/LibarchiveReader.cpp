#include "formatlib/formats/LibarchiveReader.h"

#include <archive_entry.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace quarva::formatlib {

LibarchiveReader::LibarchiveReader(const std::filesystem::path& path, const Setup& setup,
                                   const std::string& password, unsigned kind, std::string formatName,
                                   std::string rawName)
    : kind_(kind), formatName_(std::move(formatName)), rawName_(std::move(rawName))
{
    a_ = archive_read_new();
    if (!a_) {
        error_ = "Not enough memory";
        return;
    }
    setup(a_);
    if (!password.empty()) archive_read_add_passphrase(a_, password.c_str());
    if (archive_read_open_filename(a_, path.c_str(), 64 * 1024) != ARCHIVE_OK) {
        const char* e = archive_error_string(a_);
        error_ = e ? e : "cannot open the archive";
        return;
    }
    opened_ = true;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) rawTime_ = st.st_mtime;
}

LibarchiveReader::~LibarchiveReader()
{
    if (a_) archive_read_free(a_);
}

std::string LibarchiveReader::formatName() const
{
    if (raw_) {
        if (formatName_.size() > 4 && formatName_.compare(0, 4, "tar.") == 0) return formatName_.substr(4);
    }
    return formatName_;
}

int LibarchiveReader::next(EntryInfo& entry)
{
    if (!opened_) return -1;
    struct archive_entry* e = nullptr;
    int r = archive_read_next_header(a_, &e);
    if (r == ARCHIVE_EOF) return 0;
    if (r < ARCHIVE_WARN) {
        const char* s = archive_error_string(a_);
        error_ = s ? s : "damaged archive";
        return -1;
    }
    entry = EntryInfo{};
    raw_ = archive_format(a_) == ARCHIVE_FORMAT_RAW;
    const char* name = archive_entry_pathname_utf8(e);
    if (!name) name = archive_entry_pathname(e);
    entry.name = name ? name : "";
    if (raw_ && (entry.name.empty() || entry.name == "data")) entry.name = rawName_;
    const mode_t type = archive_entry_filetype(e);
    entry.isDir = type == AE_IFDIR;
    if (const char* hl = archive_entry_hardlink(e)) {
        entry.isHardlink = true;
        entry.linkTarget = hl;
    } else if (type == AE_IFLNK) {
        entry.isSymlink = true;
        const char* t = archive_entry_symlink(e);
        entry.linkTarget = t ? t : "";
    }
    entry.sizeKnown = archive_entry_size_is_set(e) != 0 && !raw_;
    entry.size = entry.sizeKnown ? static_cast<std::uint64_t>(archive_entry_size(e)) : 0;
    entry.packedSize = entry.size;
    entry.mtime = archive_entry_mtime_is_set(e) ? archive_entry_mtime(e) : 0;
    if (raw_ && entry.mtime == 0) entry.mtime = rawTime_;
    entry.mode = archive_entry_perm(e) & 07777;
    if (entry.mode == 0) entry.mode = entry.isDir ? 0755 : 0644;
    entry.encrypted = archive_entry_is_encrypted(e) != 0;
    entry.method = raw_ ? "deflate" : (kind_ == 0 ? "deflate" : formatName());
    if (!entry.isDir && !entry.isSymlink && !entry.isHardlink && type != AE_IFREG && type != 0) {
        // Devices, fifos and sockets are never created: report them as such.
        entry.method = "special";
    }
    if (!entry.isDir && !entry.name.empty() && entry.name.back() == '/') entry.isDir = true;
    return 1;
}

long LibarchiveReader::read(void* buffer, std::size_t size)
{
    la_ssize_t n = archive_read_data(a_, buffer, size);
    if (n < 0) {
        const char* s = archive_error_string(a_);
        error_ = s ? s : "damaged data";
        return -1;
    }
    return static_cast<long>(n);
}

std::string gzipStoredName(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char h[10];
    if (!in.read(reinterpret_cast<char*>(h), 10) || h[0] != 0x1f || h[1] != 0x8b || h[2] != 8) return {};
    const unsigned flags = h[3];
    if (flags & 4) {  // FEXTRA
        unsigned char x[2];
        if (!in.read(reinterpret_cast<char*>(x), 2)) return {};
        in.seekg(x[0] | (x[1] << 8), std::ios::cur);
    }
    if (!(flags & 8)) return {};  // no FNAME
    std::string name;
    char c;
    while (in.get(c) && c != 0 && name.size() < 1024) name.push_back(c);
    // Only the file part: a stored name never chooses a folder.
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    return name;
}

std::time_t gzipStoredTime(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char h[10];
    if (!in.read(reinterpret_cast<char*>(h), 10) || h[0] != 0x1f || h[1] != 0x8b) return 0;
    return static_cast<std::time_t>(h[4] | (h[5] << 8) | (h[6] << 16) | (static_cast<std::uint32_t>(h[7]) << 24));
}

bool gzipHoldsTar(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> src(16 * 1024);
    in.read(src.data(), static_cast<std::streamsize>(src.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got < 18) return false;
    unsigned char out[1024];
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(src.data());
    z.avail_in = static_cast<uInt>(got);
    z.next_out = out;
    z.avail_out = sizeof out;
    int r = Z_OK;
    while (z.avail_out > 0 && z.avail_in > 0 && r == Z_OK) r = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = sizeof out - z.avail_out;
    inflateEnd(&z);
    return produced >= 263 && std::memcmp(out + 257, "ustar", 5) == 0;
}

}  // namespace quarva::formatlib
