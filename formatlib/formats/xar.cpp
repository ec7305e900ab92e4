// xar: a header, a zlib-compressed XML table of contents (formats/XarToc.cpp) and a
// heap holding each entry's data, stored as it is or compressed with zlib, bzip2,
// lzma or xz. Our own reader: every offset and size of the table is checked against
// the file, the data is decoded as it is read, and the checksums of the table and of
// each entry's stored and decoded bytes are compared. Read only; chosen by its header.

#include <bzlib.h>
#include <fcntl.h>
#include <lzma.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Progress.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/XarToc.h"

namespace quarva::formatlib {
namespace {

using xar::Encoding;
using xar::Item;

// The largest table of contents read (uncompressed); a million entries fit.
constexpr std::uint64_t kMaxToc = 256ull << 20;
// Most memory the xz and lzma decoders may take (room for the largest dictionaries).
constexpr std::uint64_t kLzmaMemory = 1536ull << 20;

std::uint64_t bigEndian(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    return v;
}

// A running digest of one of the kinds a xar names ("sha1", "md5", "sha256", ...).
class Digest {
public:
    explicit Digest(const std::string& style) {
        const EVP_MD* md = style.empty() ? nullptr : EVP_get_digestbyname(style.c_str());
        if (md && (ctx_ = EVP_MD_CTX_new()) != nullptr && EVP_DigestInit_ex(ctx_, md, nullptr) != 1) {
            EVP_MD_CTX_free(ctx_);
            ctx_ = nullptr;
        }
    }
    ~Digest() { EVP_MD_CTX_free(ctx_); }
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;
    bool known() const { return ctx_ != nullptr; }
    void update(const void* p, std::size_t n) {
        if (ctx_ && n) EVP_DigestUpdate(ctx_, p, n);
    }
    std::string bytes() {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned n = 0;
        if (!ctx_ || EVP_DigestFinal_ex(ctx_, md, &n) != 1) return {};
        return std::string(reinterpret_cast<char*>(md), n);
    }
    std::string hex() {
        static const char* digits = "0123456789abcdef";
        std::string out;
        for (unsigned char c : bytes()) {
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        return out;
    }

private:
    EVP_MD_CTX* ctx_ = nullptr;
};

// Decodes one entry's stored bytes step by step.
class Decoder {
public:
    explicit Decoder(Encoding e) : kind_(e) {
        switch (e) {
        case Encoding::None: ready_ = true; break;
        case Encoding::Zlib: ready_ = inflateInit2(&z_, 15 + 32) == Z_OK; break;  // zlib or gzip framing
        case Encoding::Bzip2: ready_ = BZ2_bzDecompressInit(&b_, 0, 0) == BZ_OK; break;
        case Encoding::Xz: ready_ = lzma_auto_decoder(&l_, kLzmaMemory, 0) == LZMA_OK; break;
        }
    }
    ~Decoder() {
        if (!ready_) return;
        if (kind_ == Encoding::Zlib) inflateEnd(&z_);
        if (kind_ == Encoding::Bzip2) BZ2_bzDecompressEnd(&b_);
        if (kind_ == Encoding::Xz) lzma_end(&l_);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    bool ready() const { return ready_; }

    // Takes `used` of the `inLen` bytes at `in` and gives `made` bytes at `out`;
    // `last`: no input follows. False when the data is damaged.
    bool step(const unsigned char* in, std::size_t inLen, bool last, unsigned char* out, std::size_t outLen,
              std::size_t& used, std::size_t& made, bool& ended) {
        switch (kind_) {
        case Encoding::None:
            made = used = std::min(inLen, outLen);
            if (made) std::memcpy(out, in, made);
            ended = last && used == inLen;
            return true;
        case Encoding::Zlib: {
            z_.next_in = const_cast<Bytef*>(in);
            z_.avail_in = static_cast<uInt>(inLen);
            z_.next_out = out;
            z_.avail_out = static_cast<uInt>(outLen);
            const int r = inflate(&z_, Z_NO_FLUSH);
            used = inLen - z_.avail_in;
            made = outLen - z_.avail_out;
            ended = r == Z_STREAM_END;
            return r == Z_OK || r == Z_STREAM_END || r == Z_BUF_ERROR;
        }
        case Encoding::Bzip2: {
            b_.next_in = const_cast<char*>(reinterpret_cast<const char*>(in));
            b_.avail_in = static_cast<unsigned>(inLen);
            b_.next_out = reinterpret_cast<char*>(out);
            b_.avail_out = static_cast<unsigned>(outLen);
            const int r = BZ2_bzDecompress(&b_);
            used = inLen - b_.avail_in;
            made = outLen - b_.avail_out;
            ended = r == BZ_STREAM_END;
            return r == BZ_OK || r == BZ_STREAM_END;
        }
        case Encoding::Xz: {
            l_.next_in = in;
            l_.avail_in = inLen;
            l_.next_out = out;
            l_.avail_out = outLen;
            const lzma_ret r = lzma_code(&l_, last ? LZMA_FINISH : LZMA_RUN);
            used = inLen - l_.avail_in;
            made = outLen - l_.avail_out;
            ended = r == LZMA_STREAM_END;
            return r == LZMA_OK || r == LZMA_STREAM_END || r == LZMA_BUF_ERROR;
        }
        }
        return false;
    }

private:
    Encoding kind_;
    bool ready_ = false;
    z_stream z_{};
    bz_stream b_{};
    lzma_stream l_ = LZMA_STREAM_INIT;
};

class XarReader : public ArchiveReader {
public:
    explicit XarReader(const std::filesystem::path& path) : in_(64 * 1024) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        opened_ = fd_ >= 0 && open();
        if (fd_ < 0) error_ = "cannot open the archive";
    }
    ~XarReader() override {
        if (fd_ >= 0) ::close(fd_);
    }
    bool opened() const { return opened_; }
    std::string error() const override { return error_; }
    bool canGoOn() const override { return !dead_; }
    unsigned kind() const override { return kKindOther; }
    std::string formatName() const override { return "xar"; }
    std::string warning() const override { return warning_; }

    int next(EntryInfo& entry) override {
        if (dead_) return -1;
        cur_ = nullptr;
        dec_.reset();
        if (index_ >= toc_.items.size()) {
            reportProgress(heapStart_ + heapSize_, heapStart_ + heapSize_);  // all of the archive was read
            return 0;
        }
        const Item& it = toc_.items[index_++];
        entry = it.info;
        if (!it.problem.empty()) {
            error_ = it.problem + ": " + it.info.name;
            return -1;
        }
        if (it.info.isFile()) cur_ = &it;
        warning_.clear();
        for (const std::string& style : {it.archived.style, it.extracted.style})
            if (it.hasData && !style.empty() && !Digest(style).known())
                warning_ = "the entry's checksum is of a kind this suite does not know (" + style +
                           "): its data cannot be checked";
        failed_ = ended_ = false;
        made_ = left_ = 0;
        inPos_ = inEnd_ = 0;
        return 1;
    }

    long read(void* buffer, std::size_t size) override {
        if (!cur_) return 0;
        if (failed_) return -1;
        const Item& it = *cur_;
        if (!dec_ && !startData(it)) return -1;
        if (!dec_) return 0;  // a file without data
        auto* out = static_cast<unsigned char*>(buffer);
        size = std::min<std::size_t>(size, 1u << 30);
        std::size_t made = 0;
        while (made == 0 && !ended_) {
            if (inPos_ == inEnd_ && left_ > 0 && !refill()) return -1;
            std::size_t used = 0;
            if (!dec_->step(in_.data() + inPos_, inEnd_ - inPos_, left_ == 0, out, size, used, made, ended_))
                return fail("the entry's data is damaged (it cannot be decoded)");
            inPos_ += used;
            // No step forward although input is there, or none is left: the stream is bad.
            if (used == 0 && made == 0 && !ended_ && (left_ == 0 || inPos_ < inEnd_))
                return fail(inPos_ == inEnd_ ? "the entry's data is cut short" : "the entry's data cannot be decoded");
        }
        if (made == 0) return finish(it);
        made_ += made;
        decoded_ += made;
        // Entries may share stored data; once the heap is read over again, what all of
        // them unpack to together stays within the bounds of an archive this size.
        if (storedRead_ > heapSize_ && decoded_ > undeclaredDataCeiling(heapStart_ + heapSize_)) {
            dead_ = true;
            return fail(
                "the data grows beyond any plausible size (compression bomb?): entries share their stored "
                "data, and more than " +
                std::to_string(undeclaredDataCeiling(heapStart_ + heapSize_) >> 20) +
                " MiB come from an archive this small");
        }
        extractedSum_->update(out, made);
        if (it.info.sizeKnown && made_ > it.info.size)
            return fail("the entry's data is longer than the table of contents says (" + std::to_string(it.info.size) +
                        " bytes)");
        return static_cast<long>(made);
    }

private:
    bool readAt(std::uint64_t offset, void* buffer, std::size_t n) { return formatlib::readAt(fd_, offset, buffer, n); }

    bool refuse(const std::string& why) {
        error_ = why;
        return false;
    }

    // The header, the table of contents and its checksum.
    bool open() {
        struct stat st {};
        unsigned char h[marks::xar::kMinHeader];
        if (fstat(fd_, &st) != 0 || !readAt(0, h, sizeof h) || std::memcmp(h, "xar!", 4) != 0)
            return refuse("no xar header");
        const auto fileSize = static_cast<std::uint64_t>(st.st_size);
        const std::uint64_t headerSize = bigEndian(h + marks::xar::kHeaderSize, 2);
        const std::uint64_t version = bigEndian(h + marks::xar::kVersion, 2);
        const std::uint64_t packed = bigEndian(h + marks::xar::kTocPacked, 8);
        const std::uint64_t plain = bigEndian(h + marks::xar::kTocPlain, 8);
        const std::uint64_t sumKind = bigEndian(h + marks::xar::kChecksumKind, 4);
        if (version != 1) return refuse("xar version " + std::to_string(version) + " is not known to this suite");
        if (headerSize < marks::xar::kMinHeader || headerSize > fileSize)
            return refuse("the xar header is damaged (its size is " + std::to_string(headerSize) + " bytes)");
        if (packed > fileSize - headerSize) return refuse("the table of contents runs past the end of the file");
        if (plain > kMaxToc || packed > kMaxToc)
            return refuse("the table of contents is larger than this suite reads (" + std::to_string(plain >> 20) +
                          " MiB)");
        // Deflate packs at most about 1032 to 1: a larger plain size is a lie, and
        // no memory is taken for it.
        if (plain > packed * 1032 + 1024)
            return refuse("the table of contents is damaged (its sizes in the header do not fit together)");
        heapStart_ = headerSize + packed;
        heapSize_ = fileSize - heapStart_;
        std::string packedToc(packed, '\0'), toc(plain, '\0');
        if (!readAt(headerSize, packedToc.data(), packedToc.size())) return refuse("cannot read the archive");
        uLongf got = static_cast<uLongf>(plain);
        const int z = uncompress(reinterpret_cast<Bytef*>(toc.data()), &got,
                                 reinterpret_cast<const Bytef*>(packedToc.data()), static_cast<uLong>(packed));
        if (z == Z_BUF_ERROR && got == plain)
            return refuse("the table of contents is larger than the header says (" + std::to_string(plain) + " bytes)");
        if (z != Z_OK) return refuse("the table of contents is damaged (it cannot be decompressed)");
        toc.resize(got);
        if (!xar::parseToc(toc.data(), toc.size(), toc_, &error_)) return false;
        return checkTocSum(sumKind, headerSize, packedToc);
    }

    bool checkTocSum(std::uint64_t kind, std::uint64_t headerSize, const std::string& packedToc) {
        std::string style;
        if (kind == 1) style = "sha1";
        else if (kind == 2) style = "md5";
        else if (kind == 3) {  // named in the rest of the header
            std::string name(headerSize - marks::xar::kMinHeader, '\0');
            if (!readAt(marks::xar::kMinHeader, name.data(), name.size())) return refuse("cannot read the archive");
            style = name.c_str();
        } else if (kind != 0) {
            return refuse("the xar header names an unknown checksum (" + std::to_string(kind) + ")");
        }
        if (style.empty()) return true;
        Digest sum(style);
        if (!sum.known()) return refuse("the table of contents has a checksum this suite does not know: " + style);
        sum.update(packedToc.data(), packedToc.size());
        const std::string want = sum.bytes();
        if (!toc_.hasChecksum || toc_.checksumSize != want.size() || toc_.checksumOffset > heapSize_ ||
            toc_.checksumSize > heapSize_ - toc_.checksumOffset)
            return refuse("the table of contents is damaged (its checksum is missing or lies outside the file)");
        std::string stored(want.size(), '\0');
        if (!readAt(heapStart_ + toc_.checksumOffset, stored.data(), stored.size()))
            return refuse("cannot read the archive");
        if (stored != want) return refuse("the table of contents is damaged (its checksum does not match)");
        return true;
    }

    long fail(const std::string& why) {
        error_ = why;
        failed_ = true;
        return -1;
    }

    bool stop(const std::string& why) {
        fail(why);
        return false;
    }

    bool startData(const Item& it) {
        if (!it.dataProblem.empty()) return stop(it.dataProblem);
        if (!it.hasData) {
            cur_ = nullptr;
            return true;
        }
        if (it.offset > heapSize_ || it.length > heapSize_ - it.offset)
            return stop("the entry's data lies past the end of the archive");
        dec_ = std::make_unique<Decoder>(it.encoding);
        if (!dec_->ready()) return stop("cannot start the decoder (out of memory?)");
        archivedSum_ = std::make_unique<Digest>(it.archived.style);
        extractedSum_ = std::make_unique<Digest>(it.extracted.style);
        readPos_ = heapStart_ + it.offset;
        left_ = it.length;
        if (storedRead_ <= heapSize_) storedRead_ += it.length;  // enough to tell, and no overflow
        return true;
    }

    bool refill() {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(in_.size(), left_));
        if (!readAt(readPos_, in_.data(), n)) {
            dead_ = true;
            return stop("cannot read the archive (was it changed while being read?)");
        }
        archivedSum_->update(in_.data(), n);
        readPos_ += n;
        reportProgress(readPos_, heapStart_ + heapSize_);
        left_ -= n;
        inPos_ = 0;
        inEnd_ = n;
        return true;
    }

    // At the end of the decoded data: its size and both checksums. The stored bytes
    // after the end of the compressed stream still count for the stored checksum.
    long finish(const Item& it) {
        while (left_ > 0)
            if (!refill()) return -1;
        if (it.info.sizeKnown && made_ != it.info.size)
            return fail("the entry's data is shorter than the table of contents says (" + std::to_string(made_) +
                        " of " + std::to_string(it.info.size) + " bytes)");
        if (archivedSum_->known() && archivedSum_->hex() != it.archived.hex)
            return fail("the entry's stored data is damaged (its checksum does not match)");
        if (extractedSum_->known() && extractedSum_->hex() != it.extracted.hex)
            return fail("the entry's data is damaged (its checksum does not match)");
        cur_ = nullptr;
        return 0;
    }

    int fd_ = -1;
    bool opened_ = false, dead_ = false;
    std::string error_, warning_;
    std::uint64_t heapStart_ = 0, heapSize_ = 0;
    xar::Toc toc_;
    std::size_t index_ = 0;
    // The entry whose data is read: its decoder, checksums and place.
    const Item* cur_ = nullptr;
    std::unique_ptr<Decoder> dec_;
    std::unique_ptr<Digest> archivedSum_, extractedSum_;
    bool failed_ = false, ended_ = false;
    std::vector<unsigned char> in_;
    std::size_t inPos_ = 0, inEnd_ = 0;
    std::uint64_t readPos_ = 0, left_ = 0, made_ = 0;
    std::uint64_t storedRead_ = 0, decoded_ = 0;  // over all entries so far
};

class XarHandler : public HandlerBase {
public:
    XarHandler() : HandlerBase("xar", {"xar", "pkg"}, kCanRead) {}
    // "xar!", a header of at least 28 bytes, version 1.
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override {
        using namespace marks::xar;
        if (!startsWith(head, size, "xar!", 4) || size < kMinHeader) return bids::kNone;
        return bigEndian(head + kHeaderSize, 2) >= kMinHeader && bigEndian(head + kVersion, 2) == 1 ? bids::kSignature
                                                                                                    : bids::kNone;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override {
        auto r = std::make_unique<XarReader>(path);
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::string unsupportedReason() const override { return "xar archives can be read but not written"; }
};

}  // namespace

const FormatHandler& xarHandler() { return onlyInstance<XarHandler>(); }

}  // namespace quarva::formatlib
