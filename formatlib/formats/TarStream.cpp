#include "formatlib/formats/TarStream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Abort.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

// An octal field (leading spaces, digits, then space or NUL) or, with the top bit of
// its first byte set, a big-endian binary number. False when it is neither.
bool numberField(const std::uint8_t* f, std::size_t width, std::uint64_t* value) {
    *value = 0;
    if (f[0] & 0x80) {
        if (f[0] == 0xFF) return false;  // negative
        std::uint64_t v = f[0] & 0x3F;
        for (std::size_t i = 1; i < width; ++i) {
            if (v >> 55) return false;
            v = (v << 8) | f[i];
        }
        *value = v;
        return true;
    }
    std::size_t i = 0;
    while (i < width && f[i] == ' ') ++i;
    for (; i < width && f[i] >= '0' && f[i] <= '7'; ++i) {
        if (*value >> 60) return false;
        *value = *value * 8 + (f[i] - '0');
    }
    for (; i < width; ++i)
        if (f[i] != ' ' && f[i] != 0) return false;
    return true;
}

std::string textField(const std::uint8_t* f, std::size_t width) {
    std::size_t n = 0;
    while (n < width && f[n]) ++n;
    return std::string(reinterpret_cast<const char*>(f), n);
}

std::uint64_t roundUp(std::uint64_t n) { return (n + kTarBlock - 1) / kTarBlock * kTarBlock; }

// The records of a pax header: "LEN key=value\n" each.
void readPax(const std::string& data, std::string* path, std::string* linkpath, std::uint64_t* size, bool* hasSize) {
    std::size_t at = 0;
    while (at < data.size()) {
        std::size_t sp = data.find(' ', at);
        if (sp == std::string::npos) return;
        std::uint64_t len = 0;
        for (std::size_t i = at; i < sp; ++i) {
            if (data[i] < '0' || data[i] > '9' || len > (1u << 30)) return;
            len = len * 10 + static_cast<unsigned>(data[i] - '0');
        }
        if (len == 0 || at + len > data.size() || data[at + len - 1] != '\n') return;
        const std::string record = data.substr(sp + 1, at + len - 1 - (sp + 1));
        const auto eq = record.find('=');
        if (eq != std::string::npos) {
            const std::string key = record.substr(0, eq), value = record.substr(eq + 1);
            if (key == "path") *path = value;
            else if (key == "linkpath") *linkpath = value;
            else if (key == "size") {
                std::uint64_t v = 0;
                bool ok = !value.empty();
                for (char c : value) {
                    if (c < '0' || c > '9' || v > (1ull << 59)) ok = false;
                    else v = v * 10 + static_cast<unsigned>(c - '0');
                }
                if (ok) {
                    *size = v;
                    *hasSize = true;
                }
            }
        }
        at += len;
    }
}

}  // namespace

bool tarHeaderValid(const std::uint8_t* block) {
    std::uint64_t stored = 0;
    if (!numberField(block + 148, 8, &stored)) return false;
    std::uint64_t sum = 0;
    std::int64_t signedSum = 0;
    for (std::size_t i = 0; i < kTarBlock; ++i) {
        const std::uint8_t c = (i >= 148 && i < 156) ? ' ' : block[i];
        sum += c;
        signedSum += static_cast<std::int8_t>(c);
    }
    return stored == sum || static_cast<std::int64_t>(stored) == signedSum;
}

// --- TarSink -----------------------------------------------------------------------

TarSink::TarSink(int fd, bool gzip) : fd_(fd), gzip_(gzip) {
    if (gzip_) {
        if (deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK)
            zOpen_ = true;
        else error_ = "Not enough memory";
    }
}

TarSink::~TarSink() {
    if (zOpen_) deflateEnd(&z_);
}

bool TarSink::put(const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno == ENOSPC ? "cannot write the archive (disk full)"
                                     : std::string("cannot write the archive (") + std::strerror(errno) + ")";
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool TarSink::write(const void* data, std::size_t size) {
    if (!error_.empty()) return false;
    written_ += size;
    if (!gzip_) return put(data, size);
    unsigned char out[64 * 1024];
    z_.next_in = static_cast<Bytef*>(const_cast<void*>(data));
    z_.avail_in = static_cast<uInt>(size);
    while (z_.avail_in > 0) {
        z_.next_out = out;
        z_.avail_out = sizeof out;
        deflate(&z_, Z_NO_FLUSH);
        if (!put(out, sizeof out - z_.avail_out)) return false;
    }
    return true;
}

bool TarSink::finish(bool endMark) {
    static const std::uint8_t zeros[kTarBlock] = {};
    if (endMark && (!write(zeros, kTarBlock) || !write(zeros, kTarBlock))) return false;
    while (written_ % kTarRecord != 0) {
        const std::size_t n = std::min<std::uint64_t>(kTarBlock, kTarRecord - written_ % kTarRecord);
        if (!write(zeros, n)) return false;
    }
    if (gzip_) {
        unsigned char out[64 * 1024];
        int r = Z_OK;
        z_.avail_in = 0;
        do {
            z_.next_out = out;
            z_.avail_out = sizeof out;
            r = deflate(&z_, Z_FINISH);
            if (!put(out, sizeof out - z_.avail_out)) return false;
        } while (r == Z_OK);
        if (r != Z_STREAM_END) {
            error_ = "cannot compress the archive";
            return false;
        }
    }
    return error_.empty();
}

// --- RawTarReader ------------------------------------------------------------------

RawTarReader::RawTarReader(const std::filesystem::path& path, int filter) {
    r_ = std::make_unique<LibarchiveReader>(
        path, [](struct archive* a) { archive_read_support_format_raw(a); }, std::string(), kKindOther, "tar",
        std::string(), filter);
    EntryInfo e;
    if (!r_->opened() || r_->next(e) != 1) {
        error_ = r_->error().empty() ? "cannot open the archive" : r_->error();
        return;
    }
    if (fill(kTarBlock)) {
        // An empty tar is its end mark alone.
        emptyTar_ = std::all_of(buf_.begin() + static_cast<std::ptrdiff_t>(pos_),
                                buf_.begin() + static_cast<std::ptrdiff_t>(pos_ + kTarBlock),
                                [](std::uint8_t c) { return c == 0; });
        isTar_ = emptyTar_ || tarHeaderValid(buf_.data() + pos_);
    }
    if (!isTar_ && error_.empty()) error_ = "not a tar archive";
}

RawTarReader::~RawTarReader() = default;

// Makes at least `want` bytes available at buf_[pos_]; false at the end of the data.
bool RawTarReader::fill(std::size_t want) {
    if (buf_.size() - pos_ >= want) return true;
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(pos_));
    pos_ = 0;
    while (buf_.size() < want && !ended_) {
        const std::size_t have = buf_.size();
        buf_.resize(have + 64 * 1024);
        const long n = r_->read(buf_.data() + have, 64 * 1024);
        if (n < 0) {
            buf_.resize(have);
            error_ = r_->error().empty() ? "damaged data" : r_->error();
            ended_ = true;
            return false;
        }
        buf_.resize(have + static_cast<std::size_t>(n));
        if (n == 0) ended_ = true;
    }
    return buf_.size() >= want;
}

bool RawTarReader::readExact(std::uint8_t* out, std::size_t size) {
    while (size > 0) {
        const std::size_t chunk = std::min<std::size_t>(size, 64 * 1024);
        if (!fill(chunk)) return false;
        if (out) {
            std::memcpy(out, buf_.data() + pos_, chunk);
            out += chunk;
        }
        pos_ += chunk;
        size -= chunk;
    }
    return true;
}

int RawTarReader::next(RawTarEntry& e) {
    if (!isTar_) return -1;
    if (pending_ > 0 && !copyData(nullptr)) return -1;
    e = RawTarEntry{};
    std::string paxPath, paxLink, gnuName, gnuLink;
    std::uint64_t paxSize = 0;
    bool hasPaxSize = false, hadPax = false;
    std::uint8_t block[kTarBlock];
    for (int records = 0;; ++records) {
        if (abortRequested()) {
            error_ = "Operation aborted";
            return -1;
        }
        if (!readExact(block, kTarBlock)) {
            // A stream that ends without its end mark: tar programs accept that.
            if (error_.empty() && records == 0 && buf_.size() == pos_) return 0;
            if (error_.empty()) error_ = "the archive ends inside an entry";
            return -1;
        }
        bool zero = true;
        for (auto c : block) zero = zero && c == 0;
        if (zero) {
            if (records == 0) {
                // The rest of the stream is read as well, so that its gzip trailers are checked.
                while (!ended_) {
                    pos_ = buf_.size();
                    fill(64 * 1024);
                }
                return error_.empty() ? 0 : -1;
            }
            error_ = "an entry's header is missing";
            return -1;
        }
        if (!tarHeaderValid(block)) {
            error_ = "a tar header is damaged (checksum)";
            return -1;
        }
        if (records > 64) {
            error_ = "too many extended headers for one entry";
            return -1;
        }
        e.headers.insert(e.headers.end(), block, block + kTarBlock);
        const char type = static_cast<char>(block[156]);
        std::uint64_t size = 0;
        if (!numberField(block + 124, 12, &size)) {
            error_ = "a tar header is damaged (size)";
            return -1;
        }
        if (type == 'x' || type == 'X' || type == 'L' || type == 'K') {
            // Records that belong to the next header: kept with it.
            if (size > (64u << 20)) {
                error_ = "an extended header is too large";
                return -1;
            }
            std::vector<std::uint8_t> data(static_cast<std::size_t>(roundUp(size)));
            if (!readExact(data.data(), data.size())) {
                if (error_.empty()) error_ = "the archive ends inside an entry";
                return -1;
            }
            e.headers.insert(e.headers.end(), data.begin(), data.end());
            const std::string text(reinterpret_cast<const char*>(data.data()), static_cast<std::size_t>(size));
            if (type == 'L') gnuName = text.substr(0, text.find('\0'));
            else if (type == 'K') gnuLink = text.substr(0, text.find('\0'));
            else {
                readPax(text, &paxPath, &paxLink, &paxSize, &hasPaxSize);
                hadPax = true;
            }
            continue;
        }
        e.type = type;
        std::uint64_t mode = 0, mtime = 0;
        numberField(block + 100, 8, &mode);
        numberField(block + 136, 12, &mtime);
        e.mode = static_cast<std::uint32_t>(mode & 07777);
        e.mtime = static_cast<std::int64_t>(mtime);
        const bool posix = std::memcmp(block + 257, "ustar\0", 6) == 0;
        std::string name = textField(block, 100);
        if (posix && block[345]) name = textField(block + 345, 155) + "/" + name;
        e.name = !paxPath.empty() ? paxPath : !gnuName.empty() ? gnuName : name;
        e.linkTarget = !paxLink.empty() ? paxLink : !gnuLink.empty() ? gnuLink : textField(block + 157, 100);
        if (hasPaxSize) size = paxSize;
        e.standalone = type == 'g' || type == 'V';
        // Old GNU sparse files list the rest of their map in extension blocks.
        if (type == 'S' && !posix && block[482]) {
            for (int more = 0;; ++more) {
                if (more > 100000 || !readExact(block, kTarBlock)) {
                    if (error_.empty()) error_ = "the archive ends inside an entry";
                    return -1;
                }
                e.headers.insert(e.headers.end(), block, block + kTarBlock);
                if (!block[504]) break;
            }
        }
        // Links, devices, folders and fifos carry no data (a pax hard link may).
        const bool noData =
            (type == '1' && !hadPax) || type == '2' || type == '3' || type == '4' || type == '5' || type == '6';
        e.size = noData ? 0 : size;
        e.dataBytes = roundUp(e.size);
        pending_ = e.dataBytes;
        return 1;
    }
}

bool RawTarReader::copyData(TarSink* sink) {
    while (pending_ > 0) {
        if (abortRequested()) {
            error_ = "Operation aborted";
            return false;
        }
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(pending_, 64 * 1024));
        if (!fill(chunk)) {
            if (error_.empty()) error_ = "the archive ends inside an entry";
            return false;
        }
        if (sink && !sink->write(buf_.data() + pos_, chunk)) {
            error_ = sink->error();
            return false;
        }
        pos_ += chunk;
        pending_ -= chunk;
    }
    return true;
}

}  // namespace quarva::formatlib
