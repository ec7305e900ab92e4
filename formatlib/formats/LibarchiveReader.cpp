#include "formatlib/formats/LibarchiveReader.h"

#include <archive_entry.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace quarva::formatlib {

std::uint64_t undeclaredDataCeiling(std::uint64_t archiveBytes) {
    constexpr std::uint64_t kFloor = 64ull << 20;
    if (archiveBytes > (~0ull) / 2000) return ~0ull;
    return std::max<std::uint64_t>(archiveBytes * 2000, kFloor);
}

// Checks the CRC-32 and length trailer of every gzip member in the bytes it is fed
// (libarchive does not): the file is inflated a second time, beside libarchive.
class GzipTrailerCheck {
public:
    GzipTrailerCheck() { ok_ = inflateInit2(&z_, 16 + MAX_WBITS) == Z_OK; }
    ~GzipTrailerCheck() { inflateEnd(&z_); }

    void feed(const unsigned char* p, std::size_t n) {
        unsigned char out[16 * 1024];
        while (n > 0 && ok_ && !done_) {
            z_.next_in = const_cast<unsigned char*>(p);
            z_.avail_in = static_cast<uInt>(std::min<std::size_t>(n, 1u << 30));
            z_.next_out = out;
            z_.avail_out = sizeof out;
            const int r = inflate(&z_, Z_NO_FLUSH);
            const std::size_t used = std::min<std::size_t>(n, 1u << 30) - z_.avail_in;
            p += used;
            n -= used;

            if (r == Z_STREAM_END) {
                ++members_;
                inMember_ = false;
                inflateReset(&z_);
                continue;
            }
            if (r == Z_OK || r == Z_BUF_ERROR) {
                if (used > 0) inMember_ = true;
                if (used == 0 && z_.avail_out == sizeof out) break;  // needs more input
                continue;
            }
            const std::string msg = z_.msg ? z_.msg : "";
            if (members_ > 0 && z_.total_out == 0 && r == Z_DATA_ERROR &&
                (msg == "incorrect header check" || msg == "unknown compression method" ||
                 msg == "unknown header flags set")) {
                done_ = true;  // bytes after the last member are no member: ignored, as by readers
                inMember_ = false;
                return;
            }
            if (msg == "incorrect data check") error_ = "the gzip data's CRC-32 does not match the data";
            else if (msg == "incorrect length check") error_ = "the length in the gzip trailer does not match the data";
            else error_ = "damaged gzip data" + (msg.empty() ? std::string() : ": " + msg);
            ok_ = false;
        }
    }
    // True when every member was complete and correct.
    bool finish() {
        if (ok_ && inMember_) {
            error_ = "the gzip data ends before its trailer";
            ok_ = false;
        }
        done_ = true;
        return ok_;
    }
    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

private:
    z_stream z_{};
    bool ok_ = false;
    bool done_ = false;
    bool inMember_ = false;
    int members_ = 0;
    std::string error_;
};

namespace {

// The process's resident memory in bytes (0 when it cannot be told).
// Asked every few entries: the file stays open and is read again from its start.
std::uint64_t residentBytes() {
    static const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    char text[128];
    const ssize_t n = fd < 0 ? -1 : pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    text[n] = '\0';
    unsigned long long size = 0, resident = 0;
    if (std::sscanf(text, "%llu %llu", &size, &resident) != 2) return 0;
    return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

std::uint32_t le32at(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

bool filterMagic(int filter, const unsigned char* p, std::size_t n) {
    switch (filter) {
    case ARCHIVE_FILTER_GZIP: return n >= 3 && p[0] == 0x1f && p[1] == 0x8b && p[2] == 8;
    case ARCHIVE_FILTER_BZIP2:
        return n >= 10 && std::memcmp(p, "BZh", 3) == 0 && p[3] >= '1' && p[3] <= '9' &&
               (std::memcmp(p + 4, "\x31\x41\x59\x26\x53\x59", 6) == 0 ||
                std::memcmp(p + 4, "\x17\x72\x45\x38\x50\x90", 6) == 0);
    case ARCHIVE_FILTER_XZ:
        return n >= 6 && std::memcmp(p,
                                     "\xfd"
                                     "7zXZ\0",
                                     6) == 0;
    case ARCHIVE_FILTER_RPM: return n >= 4 && std::memcmp(p, "\xed\xab\xee\xdb", 4) == 0;
    case ARCHIVE_FILTER_ZSTD: return n >= 4 && std::memcmp(p, "\x28\xb5\x2f\xfd", 4) == 0;
    case ARCHIVE_FILTER_LZ4:
        return n >= 4 && (std::memcmp(p, "\x04\x22\x4d\x18", 4) == 0 || std::memcmp(p, "\x02\x21\x4c\x18", 4) == 0);
    case ARCHIVE_FILTER_LZIP: return n >= 6 && std::memcmp(p, "LZIP", 4) == 0 && p[4] <= 1;
    case ARCHIVE_FILTER_COMPRESS:
        // The mark, then the flags: 9 to 16 bits per code, bits 5 and 6 unused.
        return n >= 3 && p[0] == 0x1f && p[1] == 0x9d && (p[2] & 0x1f) >= 9 && (p[2] & 0x1f) <= 16 &&
               (p[2] & 0x60) == 0;
    case ARCHIVE_FILTER_LZMA: {
        // No mark at all: the properties byte, a dictionary size of 2^n or
        // 2^n + 2^(n-1), and an unpacked size that is unknown (all ones) or plausible.
        if (n < 13 || p[0] > 224) return false;
        const std::uint32_t dict = le32at(p + 1);
        bool dictOk = false;
        for (int b = 12; b < 31 && !dictOk; ++b) dictOk = dict == (1u << b) || dict == (1u << b) + (1u << (b - 1));
        bool unknown = true;
        for (int i = 5; i < 13; ++i) unknown = unknown && p[i] == 0xff;
        return dictOk && (unknown || (p[11] == 0 && p[12] == 0));
    }
    default: return false;
    }
}

namespace {

// Puts `filter` on the archive before it is opened. compress (.Z) is registered as
// a bid instead: libarchive reads its header when it is appended, before there is
// anything to read (it crashes).
int addFilter(struct archive* a, int filter) {
    if (filter == ARCHIVE_FILTER_COMPRESS) return archive_read_support_filter_compress(a);
    return archive_read_append_filter(a, filter);
}

// The compression layers around the file's content, outermost first, each one of
// `allowed`: each layer is unwrapped in turn (only its first bytes) and looked at.
// False when there are more than `most`.
bool findFilterLayers(const std::filesystem::path& path, const std::vector<int>& allowed, int most,
                      std::vector<int>& layers) {
    std::vector<std::uint8_t> head(64);
    {
        std::ifstream in(path, std::ios::binary);
        in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    }
    layers.clear();
    for (;;) {
        const auto it = std::find_if(allowed.begin(), allowed.end(),
                                     [&](int f) { return filterMagic(f, head.data(), head.size()); });
        if (it == allowed.end()) return true;
        if (static_cast<int>(layers.size()) == most) return false;
        layers.push_back(*it);
        struct archive* probe = archive_read_new();
        if (!probe) return true;
        // compress is unwrapped by a bid, all its layers at once.
        if (*it == ARCHIVE_FILTER_COMPRESS) {
            archive_read_free(probe);
            return true;
        }
        for (int f : layers) addFilter(probe, f);
        archive_read_support_format_raw(probe);
        head.assign(64, 0);
        std::size_t got = 0;
        struct archive_entry* e = nullptr;
        if (archive_read_open_filename(probe, path.c_str(), 16 * 1024) == ARCHIVE_OK &&
            archive_read_next_header(probe, &e) == ARCHIVE_OK) {
            const la_ssize_t n = archive_read_data(probe, head.data(), head.size());
            if (n > 0) got = static_cast<std::size_t>(n);
        }
        head.resize(got);
        archive_read_free(probe);
    }
}

}  // namespace

LibarchiveReader::LibarchiveReader(const std::filesystem::path& path, const Setup& setup, const std::string& password,
                                   unsigned kind, std::string formatName, std::string rawName, int filter)
    : kind_(kind), formatName_(std::move(formatName)), rawName_(std::move(rawName)) {
    start(path, setup, password, filter == ARCHIVE_FILTER_NONE ? std::vector<int>{} : std::vector<int>{filter});
}

LibarchiveReader::LibarchiveReader(const std::filesystem::path& path, const Setup& setup, unsigned kind,
                                   std::string formatName, const std::vector<int>& filters)
    : kind_(kind), formatName_(std::move(formatName)) {
    start(path, setup, {}, filters);
}

LibarchiveReader::LibarchiveReader(const std::vector<std::filesystem::path>& volumes, const Setup& setup,
                                   const std::string& password, unsigned kind, std::string formatName)
    : kind_(kind), formatName_(std::move(formatName)) {
    start(volumes.empty() ? std::filesystem::path() : volumes.front(), setup, password, {}, volumes);
}

void LibarchiveReader::start(const std::filesystem::path& path, const Setup& setup, const std::string& password,
                             const std::vector<int>& filters, const std::vector<std::filesystem::path>& volumes) {
    Utf8Locale::Scope scope(utf8_);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error_ = std::string("cannot open the archive: ") + std::strerror(errno);
        return;
    }
    rawTime_ = st.st_mtime;
    std::uint64_t bytes = static_cast<std::uint64_t>(st.st_size);
    for (std::size_t i = 1; i < volumes.size(); ++i)
        if (stat(volumes[i].c_str(), &st) == 0) bytes += static_cast<std::uint64_t>(st.st_size);
    fileBytes_ = bytes;
    ceiling_ = undeclaredDataCeiling(bytes);
    inputSize_ = bytes;
    input_.setVolumes(volumes);
    memoryAtStart_ = residentBytes();
    a_ = archive_read_new();
    if (!a_) {
        error_ = "Not enough memory";
        return;
    }
    setup(a_);
    if (!password.empty()) archive_read_add_passphrase(a_, password.c_str());
    opened_ = open(path, filters);
}

CheckedInput::CheckedInput() = default;

CheckedInput::~CheckedInput() {
    if (fd_ >= 0) ::close(fd_);
}

int CheckedInput::open(struct archive* a, const std::filesystem::path& path, const std::vector<int>& filters,
                       std::string* error) {
    std::vector<int> layers;
    if (!filters.empty() && !findFilterLayers(path, filters, kMaxFilterLayers, layers)) {
        *error = "the data is compressed inside itself more than " + std::to_string(kMaxFilterLayers) +
                 " times; not read further";
        return ARCHIVE_FATAL;
    }
    // The filters are given, not guessed: libarchive then never stacks more.
    for (int f : layers)
        if (addFilter(a, f) < ARCHIVE_WARN) {
            const char* e = archive_error_string(a);
            *error = e && *e ? e : "cannot read the compression";
            return ARCHIVE_FATAL;
        }
    int r;
    if (!layers.empty() && layers.front() == ARCHIVE_FILTER_GZIP) {
        // Read the file ourselves so that its gzip trailers can be checked on the way.
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            *error = std::string("cannot open the archive: ") + std::strerror(errno);
            return ARCHIVE_FATAL;
        }
        gzipCheck_ = std::make_unique<GzipTrailerCheck>();
        block_.resize(64 * 1024);
        r = archive_read_open(a, this, nullptr, &CheckedInput::readCallback, nullptr);
    } else if (volumes_.size() > 1) {
        std::vector<const char*> names;
        for (const auto& v : volumes_) names.push_back(v.c_str());
        names.push_back(nullptr);
        r = archive_read_open_filenames(a, names.data(), 64 * 1024);
    } else {
        r = archive_read_open_filename(a, path.c_str(), 64 * 1024);
    }
    if (r < ARCHIVE_OK) {
        const char* e = archive_error_string(a);
        *error = e && *e ? e : (r == ARCHIVE_WARN ? "" : "cannot open the archive");
    }
    return r;
}

void CheckedInput::setVolumes(const std::vector<std::filesystem::path>& volumes) {
    volumes_.assign(volumes.begin(), volumes.end());
}

la_ssize_t CheckedInput::readCallback(struct archive* a, void* client, const void** block) {
    auto* self = static_cast<CheckedInput*>(client);
    for (;;) {
        const ssize_t n = ::read(self->fd_, self->block_.data(), self->block_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            archive_set_error(a, errno, "cannot read the archive: %s", std::strerror(errno));
            return -1;
        }
        if (self->gzipCheck_) self->gzipCheck_->feed(self->block_.data(), static_cast<std::size_t>(n));
        self->fileOffset_ += static_cast<std::uint64_t>(n);
        *block = self->block_.data();
        return n;
    }
}

bool CheckedInput::finish(std::string* error) {
    if (!gzipCheck_) return true;
    // Whatever libarchive did not need to read is checked too (one layer of deflate
    // expands at most about 1000 times, below the ceiling for undeclared data).
    std::vector<unsigned char> rest(64 * 1024);
    for (;;) {
        if (!gzipCheck_->ok()) break;
        const ssize_t n = pread(fd_, rest.data(), rest.size(), static_cast<off_t>(fileOffset_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        gzipCheck_->feed(rest.data(), static_cast<std::size_t>(n));
        fileOffset_ += static_cast<std::uint64_t>(n);
    }
    const bool good = gzipCheck_->finish();
    if (!good) *error = gzipCheck_->error();
    gzipCheck_.reset();
    return good;
}

bool LibarchiveReader::open(const std::filesystem::path& path, const std::vector<int>& filters) {
    std::string why;
    const int r = input_.open(a_, path, filters, &why);
    if (r == ARCHIVE_WARN) {
        openWarning_ = why;
    } else if (r != ARCHIVE_OK) {
        die(why);
        return false;
    }
    return true;
}

bool LibarchiveReader::finishGzipCheck() { return input_.finish(&error_); }

LibarchiveReader::~LibarchiveReader() {
    Utf8Locale::Scope scope(utf8_);
    if (a_) archive_read_free(a_);
}

bool LibarchiveReader::memoryWithinCeiling() {
    const std::uint64_t now = residentBytes();
    if (memoryAtStart_ == 0 || now <= memoryAtStart_ + kMemoryCeiling) return true;
    die("reading this archive takes more than " + std::to_string(kMemoryCeiling >> 20) +
        " MiB of memory; stopped (damaged or hostile archive?)");
    return false;
}

void LibarchiveReader::die(const std::string& why) {
    dead_ = true;
    error_ = why.empty() ? "damaged archive" : why;
}

std::string LibarchiveReader::libarchiveError(const char* fallback) const {
    const char* e = a_ ? archive_error_string(a_) : nullptr;
    if (!e || !*e) return hint_.empty() ? std::string(fallback) : fallback + ("; " + hint_);
    // libarchive's words for what it cannot decode, said plainly.
    const std::string text = e;
    auto has = [&](const char* part) { return text.find(part) != std::string::npos; };
    const std::string hint = hint_.empty() ? std::string() : "; " + hint_;
    if (has("codec ID") || has("Unsupported filter") || has("nsupported compression") || has("Unsupported method"))
        return "unsupported method: " + text + hint;
    if (has("encrypted") && has("not supported")) return "unsupported encryption: " + text + hint;
    return text + hint;
}

std::string LibarchiveReader::formatName() const {
    if (raw_) {
        if (formatName_.size() > 4 && formatName_.compare(0, 4, "tar.") == 0) return formatName_.substr(4);
    }
    return formatName_;
}

int LibarchiveReader::next(EntryInfo& entry) {
    if (!opened_ || dead_) return -1;
    Utf8Locale::Scope scope(utf8_);
    if (entryOpen_ && !entrySized_ && !entryFailed_) {
        // libarchive would skip the rest of data of undeclared size by inflating it
        // without bound: it is read here instead, within the ceiling.
        std::vector<char> scratch(64 * 1024);
        long n;
        while ((n = read(scratch.data(), scratch.size())) > 0) {}
        if (dead_) return -1;
    }
    entryOpen_ = false;
    entryFailed_ = true;  // no entry to read data from until a header is read
    if (headers_++ % 16 == 0 && !memoryWithinCeiling()) return -1;
    warning_.clear();
    struct archive_entry* e = nullptr;
    int r = ARCHIVE_RETRY;
    for (int tries = 0; tries < 3 && r == ARCHIVE_RETRY; ++tries) r = archive_read_next_header(a_, &e);
    if (r == ARCHIVE_EOF) {
        if (!finishGzipCheck()) {
            dead_ = true;
            return -1;
        }
        reportProgress(inputSize_, inputSize_);  // what follows the end is not needed
        return 0;
    }
    // Nothing left at all (not even part of a header) after the last entry.
    if (r == ARCHIVE_FATAL && endAtFileEnd_ && !archive_error_string(a_) &&
        static_cast<std::uint64_t>(archive_filter_bytes(a_, 0)) == fileBytes_)
        return 0;
    if (r == ARCHIVE_FATAL || r == ARCHIVE_RETRY || !e) {
        die(libarchiveError("damaged archive"));
        return -1;
    }
    if (r == ARCHIVE_FAILED) {
        // This entry cannot be read; the archive can go on with the next one.
        error_ = libarchiveError("damaged entry");
        if (++headerFailures_ > 100) dead_ = true;
        return -1;
    }
    headerFailures_ = 0;
    if (r == ARCHIVE_WARN) warning_ = libarchiveError("");
    if (!openWarning_.empty()) {
        // A warning from opening the archive goes with its first entry.
        warning_ = warning_.empty() ? openWarning_ : openWarning_ + "; " + warning_;
        openWarning_.clear();
    }
    entry = EntryInfo{};
    raw_ = archive_format(a_) == ARCHIVE_FORMAT_RAW;
    const char* name = archive_entry_pathname_utf8(e);
    if (!name) name = archive_entry_pathname(e);
    entry.name = name ? name : "";
    if (raw_ && (entry.name.empty() || entry.name == "data")) entry.name = rawName_;
    const mode_t type = archive_entry_filetype(e);
    if (type == AE_IFDIR) entry.kind = EntryKind::Folder;
    const char* hardlink = archive_entry_hardlink_utf8(e);
    if (!hardlink) hardlink = archive_entry_hardlink(e);
    if (hardlink) {
        entry.kind = EntryKind::Hardlink;
        entry.linkTarget = hardlink;
    } else if (type == AE_IFLNK) {
        entry.kind = EntryKind::Symlink;
        const char* t = archive_entry_symlink_utf8(e);
        if (!t) t = archive_entry_symlink(e);
        entry.linkTarget = t ? t : "";
    }
    entry.sizeKnown = archive_entry_size_is_set(e) != 0 && !raw_;
    entry.size = entry.sizeKnown ? static_cast<std::uint64_t>(std::max<la_int64_t>(archive_entry_size(e), 0)) : 0;
    entry.packedSize = entry.size;
    entry.mtime = archive_entry_mtime_is_set(e) ? archive_entry_mtime(e) : 0;
    if (raw_ && entry.mtime == 0) entry.mtime = rawTime_;
    entry.mode = archive_entry_perm(e) & 07777;
    if (entry.mode == 0) entry.mode = entry.isDir() ? 0755 : 0644;
    entry.encrypted = archive_entry_is_encrypted(e) != 0;
    entry.method = raw_ ? "deflate" : (kind_ == 0 ? "deflate" : formatName());
    if (entry.isFile() && type != AE_IFREG && type != 0) {
        // Devices, fifos and sockets are never created: report them as such.
        entry.kind = EntryKind::Special;
        entry.method = "special";
    }
    if (!entry.isDir() && !entry.name.empty() && entry.name.back() == '/') entry.kind = EntryKind::Folder;
    entrySized_ = entry.sizeKnown;
    entrySparse_ = archive_entry_sparse_count(e) > 0;
    entrySize_ = entry.size;
    entryBytes_ = 0;
    entryFailed_ = false;
    entryOpen_ = true;
    // The first header may have been read from the archive's end (7z, zip): from the
    // second on the position is where the entries are.
    if (headers_ > 1) tellProgress();
    return 1;
}

long LibarchiveReader::view(const void** data, std::vector<char>& scratch) {
    if (raw_ || !entrySized_ || entrySparse_ || endAtSize_) return ArchiveReader::view(data, scratch);
    if (!opened_ || dead_ || entryFailed_) return -1;
    Utf8Locale::Scope scope(utf8_);
    const void* block = nullptr;
    std::size_t size = 0;
    la_int64_t offset = 0;
    int r = ARCHIVE_RETRY;
    // An empty block is no end: asked again (a few times) for the next one.
    for (int tries = 0; tries < 16 && (r == ARCHIVE_RETRY || (r == ARCHIVE_OK && size == 0)); ++tries)
        r = archive_read_data_block(a_, &block, &size, &offset);
    if (r == ARCHIVE_OK && size == 0) r = ARCHIVE_FATAL;
    if (r == ARCHIVE_EOF) {
        entryOpen_ = false;
        return 0;
    }
    if (r == ARCHIVE_FATAL || r == ARCHIVE_RETRY) {
        die(libarchiveError("damaged data"));
        return -1;
    }
    if (r < ARCHIVE_OK) {
        error_ = libarchiveError("damaged data");
        entryFailed_ = true;
        return -1;
    }
    // Blocks follow each other without a gap (an entry without holes).
    if (offset < 0 || static_cast<std::uint64_t>(offset) != entryBytes_) {
        die("damaged data: a block out of place");
        return -1;
    }
    if (++reads_ % 64 == 0 && !memoryWithinCeiling()) return -1;
    entryBytes_ += size;
    if (entryBytes_ > entrySize_) {
        die("the data is longer than the archive declares");
        return -1;
    }
    *data = block;
    tellProgress();
    return static_cast<long>(size);
}

long LibarchiveReader::read(void* buffer, std::size_t size) {
    if (!opened_ || dead_ || entryFailed_) return -1;
    if (endAtSize_ && entrySized_) {
        if (entryBytes_ == entrySize_) return entryOpen_ ? dropPadding() : 0;
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, entrySize_ - entryBytes_));
        if (size == 0) return 0;
    }
    Utf8Locale::Scope scope(utf8_);
    la_ssize_t n = ARCHIVE_RETRY;
    for (int tries = 0; tries < 3 && n == ARCHIVE_RETRY; ++tries) n = archive_read_data(a_, buffer, size);
    // A sparse entry's map may end in an empty block (a hole up to the end): that
    // block reads as nothing, and the zeros of the hole come with the next call.
    for (int tries = 0; tries < 16 && n == 0 && entrySparse_ && entrySized_ && entryBytes_ < entrySize_; ++tries)
        n = archive_read_data(a_, buffer, size);
    if (n == ARCHIVE_FATAL || n == ARCHIVE_RETRY) {
        die(libarchiveError("damaged data"));
        return -1;
    }
    if (n < 0) {
        // ARCHIVE_WARN or ARCHIVE_FAILED: this entry's data is not to be trusted,
        // the next entry can still be read.
        error_ = libarchiveError("damaged data");
        entryFailed_ = true;
        return -1;
    }
    const auto got = static_cast<std::uint64_t>(n);
    if (++reads_ % 64 == 0 && !memoryWithinCeiling()) return -1;
    entryBytes_ += got;
    if (entrySized_ && entryBytes_ > entrySize_) {
        die("the data is longer than the archive declares");
        return -1;
    }
    if (!entrySized_) {
        undeclared_ += got;
        if (undeclared_ > ceiling_) {
            // Not even skipped: skipping would inflate the rest all the same.
            die("the data grows beyond any plausible size (compression bomb?): more than " +
                std::to_string(ceiling_ >> 20) + " MiB from an archive this small");
            return -1;
        }
    }
    if (n == 0) {
        entryOpen_ = false;
        if (raw_ && !finishGzipCheck()) {
            dead_ = true;
            return -1;
        }
    }
    tellProgress();
    return static_cast<long>(n);
}

long LibarchiveReader::dropPadding() {
    Utf8Locale::Scope scope(utf8_);
    char pad[64];
    for (std::size_t dropped = 0;;) {
        const la_ssize_t n = archive_read_data(a_, pad, sizeof pad);
        if (n == 0) {
            entryOpen_ = false;
            return 0;
        }
        if (n < 0) {
            if (n == ARCHIVE_FATAL || n == ARCHIVE_RETRY) die(libarchiveError("damaged data"));
            error_ = libarchiveError("damaged data");
            entryFailed_ = true;
            return -1;
        }
        dropped += static_cast<std::size_t>(n);
        if (dropped > sizeof pad || std::any_of(pad, pad + n, [](char c) { return c != 0; })) {
            die("the data is longer than the archive declares");
            return -1;
        }
    }
}

std::string libarchiveShortfall(const std::filesystem::path& path, const LibarchiveReader::Setup& setup,
                                const std::vector<std::filesystem::path>& volumes) {
    Utf8Locale utf8;
    Utf8Locale::Scope scope(utf8);
    struct archive* a = archive_read_new();
    if (!a) return {};
    setup(a);
    std::string why;
    auto libarchiveText = [&](const char* fallback) {
        const char* e = archive_error_string(a);
        return std::string(e && *e ? e : fallback);
    };
    std::vector<std::string> pieces(volumes.begin(), volumes.end());
    if (pieces.empty()) pieces.push_back(path.string());
    std::vector<const char*> names;
    for (const auto& p : pieces) names.push_back(p.c_str());
    names.push_back(nullptr);
    if (archive_read_open_filenames(a, names.data(), 64 * 1024) != ARCHIVE_OK) {
        why = libarchiveText("the archive cannot be opened");
    } else {
        struct archive_entry* e = nullptr;
        bool dataTried = false;
        // Headers only (their data is not decoded), and one byte of the first file.
        for (int count = 0; why.empty() && count < 100000; ++count) {
            const int r = archive_read_next_header(a, &e);
            if (r == ARCHIVE_EOF) break;
            if (r < ARCHIVE_WARN) {
                why = libarchiveText("damaged archive");
                break;
            }
            if (archive_entry_is_encrypted(e)) {
                why = "the archive is encrypted";
                break;
            }
            if (!dataTried && archive_entry_filetype(e) == AE_IFREG && archive_entry_size(e) > 0) {
                dataTried = true;
                char byte;
                if (archive_read_data(a, &byte, 1) < 0) why = libarchiveText("damaged data");
            }
        }
    }
    archive_read_free(a);
    return why;
}

std::vector<std::uint8_t> filteredHead(const std::filesystem::path& path, int filter, std::size_t limit) {
    std::vector<std::uint8_t> out;
    struct archive* a = archive_read_new();
    if (!a) return out;
    addFilter(a, filter);
    archive_read_support_format_raw(a);
    struct archive_entry* e = nullptr;
    if (archive_read_open_filename(a, path.c_str(), 16 * 1024) == ARCHIVE_OK &&
        archive_read_next_header(a, &e) == ARCHIVE_OK) {
        out.resize(limit);
        std::size_t got = 0;
        while (got < limit) {
            const la_ssize_t n = archive_read_data(a, out.data() + got, limit - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        out.resize(got);
    }
    archive_read_free(a);
    return out;
}

}  // namespace quarva::formatlib
