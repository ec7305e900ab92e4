// The table of format handlers, and choosing a handler by content or by name.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "formatlib/core/Names.h"
#include "formatlib/formats/HandlerBase.h"

namespace quarva::formatlib {

std::unique_ptr<ArchiveWriter> FormatHandler::openWriter(const std::filesystem::path&, const WriteOptions&,
                                                         std::string* error) const {
    const std::string why = unsupportedReason();
    *error = why.empty() ? std::string("cannot create ") + name() + " archives" : why;
    return nullptr;
}

std::string stripLastExtension(const std::filesystem::path& path) {
    std::string f = path.filename().string();
    const auto dot = f.rfind('.');
    if (dot != std::string::npos && dot > 0) f = f.substr(0, dot);
    return f;
}

const std::vector<const FormatHandler*>& allHandlers() {
    static const std::vector<const FormatHandler*> table = [] {
        std::vector<const FormatHandler*> t = {
            &zipHandler(),     &jarHandler(),      &sfxHandler(),     &tarHandler(),     &tarGzHandler(),
            &gzHandler(),      &tarBz2Handler(),   &tarXzHandler(),   &cabHandler(),     &lhaHandler(),
            &rarHandler(),     &sevenZipHandler(), &uuHandler(),      &xxHandler(),      &blakHoleHandler(),
            &tarZstdHandler(), &tarLz4Handler(),   &tarLzmaHandler(), &tarLzipHandler(), &tarCompressHandler(),
            &xarHandler(),
        };
        for (auto* h : readOnlyHandlers()) t.push_back(h);
        for (auto* h : externalHandlers()) t.push_back(h);
        return t;
    }();
    return table;
}

std::vector<std::uint8_t> readHead(const std::filesystem::path& path, std::size_t limit) {
    // Opened without waiting and read only when it is a plain file: a pipe or a
    // device would block or act on the read.
    std::vector<std::uint8_t> head;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return head;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        head.resize(limit);
        std::size_t got = 0;
        while (got < limit) {
            const ssize_t n = ::read(fd, head.data() + got, limit - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        head.resize(got);
    }
    ::close(fd);
    return head;
}

namespace {

// Length of the longest extension of `h` that ends the file name (0 when none).
std::size_t extensionMatch(const FormatHandler* h, const std::string& lowerName) {
    std::size_t best = 0;
    for (const auto& e : h->extensions()) {
        const std::string suffix = "." + e;
        if (lowerName.size() > suffix.size() &&
            lowerName.compare(lowerName.size() - suffix.size(), suffix.size(), suffix) == 0)
            best = std::max(best, suffix.size());
    }
    return best;
}

}  // namespace

const FormatHandler* handlerForName(const std::filesystem::path& path) {
    const std::string name = toLower(path.filename().string());
    const FormatHandler* best = nullptr;
    std::size_t bestLen = 0;
    for (auto* h : allHandlers()) {
        const std::size_t len = extensionMatch(h, name);
        if (len > bestLen) {
            best = h;
            bestLen = len;
        }
    }
    return best;
}

namespace {

// The best bid on the file's content; the extension adds kNameBonus.
const FormatHandler* bestBid(const std::filesystem::path& path, bool nameCounts) {
    const auto head = readHead(path);
    const std::string name = toLower(path.filename().string());
    const FormatHandler* best = nullptr;
    int bestScore = bids::kNone;
    for (auto* h : allHandlers()) {
        int score = h->bid(head.data(), head.size(), path);
        if (score <= bids::kNone) continue;
        if (nameCounts && extensionMatch(h, name)) score += bids::kNameBonus;  // equal bids: the name decides
        if (score > bestScore) {
            best = h;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace

const FormatHandler* handlerForContent(const std::filesystem::path& path) { return bestBid(path, true); }

const FormatHandler* handlerForFile(const std::filesystem::path& path) {
    const FormatHandler* h = bestBid(path, true);
    return h ? h : handlerForName(path);
}

bool readAt(int fd, std::uint64_t offset, void* buffer, std::size_t n) {
    auto* p = static_cast<unsigned char*>(buffer);
    while (n > 0) {
        const ssize_t r = pread(fd, p, n, static_cast<off_t>(offset));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= static_cast<std::size_t>(r);
        offset += static_cast<std::uint64_t>(r);
    }
    return true;
}

bool looksLikeProgram(const std::uint8_t* head, std::size_t size) {
    return (size >= 4 && std::memcmp(head,
                                     "\x7f"
                                     "ELF",
                                     4) == 0) ||
           (size >= 64 && head[0] == 'M' && head[1] == 'Z');
}

bool signatureWithin(const std::filesystem::path& path, const char* signature, std::size_t len, std::uint64_t limit) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> block(64 * 1024 + len);
    std::size_t kept = 0;
    std::uint64_t seen = 0;
    while (in && seen < limit) {
        in.read(block.data() + kept, static_cast<std::streamsize>(block.size() - kept));
        const std::size_t have = kept + static_cast<std::size_t>(in.gcount());
        if (have < len) return false;
        if (std::search(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(have), signature, signature + len) !=
            block.begin() + static_cast<std::ptrdiff_t>(have))
            return true;
        seen += have - kept;
        kept = len - 1;
        std::memmove(block.data(), block.data() + have - kept, kept);
    }
    return false;
}

int bidSignatureOrStub(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path,
                       const char* signature, std::size_t len, std::uint64_t limit) {
    if (size >= len && std::memcmp(head, signature, len) == 0) return bids::kSignature;
    if (looksLikeProgram(head, size) && signatureWithin(path, signature, len, limit)) return bids::kBehindStub;
    return bids::kNone;
}

std::string describeContent(const std::filesystem::path& path) {
    const auto head = readHead(path, 512);
    if (head.empty()) return "the file is empty";
    if (looksLikeProgram(head.data(), head.size())) return "a program with no archive this suite reads inside";
    std::size_t printable = 0;
    for (auto c : head)
        if (c == '\n' || c == '\r' || c == '\t' || c >= 0x20) printable += c != 0x7f;
    if (printable == head.size()) return "plain text";
    static const char* hex = "0123456789abcdef";
    std::string first;
    for (std::size_t i = 0; i < std::min<std::size_t>(head.size(), 4); ++i) {
        if (i) first += ' ';
        first += hex[head[i] >> 4];
        first += hex[head[i] & 15];
    }
    return "unknown data beginning " + first;
}

const FormatHandler* handlerByName(const std::string& name) {
    for (auto* h : allHandlers())
        if (name == h->name()) return h;
    return nullptr;
}

}  // namespace quarva::formatlib
