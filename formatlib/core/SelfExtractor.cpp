// The self-extracting program: the stub followed by a zip (the archive converted
// to zip first when it is none), with the zip's offsets moved past the stub.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "formatlib/core/OperationSupport.h"
#include "formatlib/core/Operations.h"

namespace quarva::formatlib {
namespace fs = std::filesystem;

namespace {

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void setLe32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Where the zip records keep the numbers shifted below.
constexpr std::size_t kEndRecordSize = 22;                // end of central directory, without its comment
constexpr std::size_t kEndDirSize = 12;                   // its central directory size
constexpr std::size_t kEndDirOffset = 16;                 // its central directory offset
constexpr std::size_t kDirHeaderSize = 46;                // central directory header, without its names
constexpr std::size_t kDirNameLength = 28;                // then the extra field and comment lengths
constexpr std::size_t kDirLocalOffset = 42;               // the local header's offset
constexpr std::uint64_t kEndSearchSpan = 66 * 1024;  // the end record and the longest comment

// Moves the zip payload's recorded offsets past the program stub in front of it,
// so that every zip reader finds its entries where they are.
bool shiftZipOffsets(int fd, std::uint64_t payloadStart, std::uint64_t fileSize) {
    const std::uint64_t span = std::min<std::uint64_t>(fileSize - payloadStart, kEndSearchSpan);
    std::vector<unsigned char> tail(span);
    if (pread(fd, tail.data(), span, static_cast<off_t>(fileSize - span)) != static_cast<ssize_t>(span)) return false;
    std::size_t eocd = std::string::npos;
    for (std::size_t i = span >= kEndRecordSize ? span - kEndRecordSize + 1 : 0; i-- > 0;)
        if (std::memcmp(&tail[i], "PK\x05\x06", 4) == 0) {
            eocd = i;
            break;
        }
    if (eocd == std::string::npos) return false;
    const std::uint32_t cdSize = le32(&tail[eocd + kEndDirSize]);
    const std::uint32_t cdOffset = le32(&tail[eocd + kEndDirOffset]);
    if (cdOffset == 0xFFFFFFFFu || cdSize == 0xFFFFFFFFu) return true;  // zip64: readers cope with the prefix
    if (payloadStart + cdOffset + cdSize > fileSize || payloadStart + cdOffset + 0xFFFFFFFFull < payloadStart)
        return false;
    std::vector<unsigned char> cd(cdSize);
    if (cdSize &&
        pread(fd, cd.data(), cdSize, static_cast<off_t>(payloadStart + cdOffset)) != static_cast<ssize_t>(cdSize))
        return false;
    for (std::size_t p = 0; p + kDirHeaderSize <= cd.size();) {
        if (std::memcmp(&cd[p], "PK\x01\x02", 4) != 0) return false;
        const std::uint32_t local = le32(&cd[p + kDirLocalOffset]);
        if (local != 0xFFFFFFFFu) setLe32(&cd[p + kDirLocalOffset], static_cast<std::uint32_t>(local + payloadStart));
        std::size_t next = p + kDirHeaderSize;
        for (std::size_t f = 0; f < 3; ++f)  // name, extra field and comment
            next += cd[p + kDirNameLength + 2 * f] | (cd[p + kDirNameLength + 2 * f + 1] << 8);
        p = next;
    }
    setLe32(&tail[eocd + kEndDirOffset], static_cast<std::uint32_t>(cdOffset + payloadStart));
    if (cdSize &&
        pwrite(fd, cd.data(), cdSize, static_cast<off_t>(payloadStart + cdOffset)) != static_cast<ssize_t>(cdSize))
        return false;
    return pwrite(fd, &tail[eocd + kEndDirOffset], 4, static_cast<off_t>(fileSize - span + eocd + kEndDirOffset)) == 4;
}

bool appendFile(int outFd, const fs::path& from) {
    const int in = ::open(from.c_str(), O_RDONLY);
    if (in < 0) return false;
    std::vector<char> buf(64 * 1024);
    bool good = true;
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0) {
            good = false;
            break;
        }
        if (n == 0) break;
        if (::write(outFd, buf.data(), static_cast<std::size_t>(n)) != n) {
            good = false;
            break;
        }
    }
    ::close(in);
    return good;
}

}  // namespace

std::string libraryFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryFolder), &info) && info.dli_fname) {
        fs::path p = fs::absolute(info.dli_fname).parent_path();
        return p.string();
    }
    return {};
}

void makeSelfExtractor(const std::string& source, const std::string& target, const std::string& stubFolder,
                       Reporter& rep) {
    fs::path stub = fs::path(stubFolder) / kSfxStubName;
    std::error_code ec;
    if (stubFolder.empty() || !fs::is_regular_file(stub, ec)) {
        const fs::path beside = fs::path(libraryFolder()) / kSfxStubName;
        if (!fs::is_regular_file(beside, ec)) {
            rep.error("", target, "Self-extractor stub not found",
                      std::string(kSfxStubName) + " is missing from " + stubFolder);
            return;
        }
        stub = beside;
    }
    const FormatHandler* h = nullptr;
    {
        auto probe = openArchive(source, {}, rep, &h);
        if (!probe) return;
    }
    // The payload: the zip itself, or the archive converted to zip first.
    fs::path payload = source;
    std::string converted;
    const bool isZip = h == &zipHandler() || h == &jarHandler();
    if (!isZip) {
        std::string tmpl = (folderOf(target) / ".qzsfx-XXXXXX").string();
        const int fd = mkstemp(tmpl.data());
        if (fd < 0) {
            rep.error("", target, "Cannot create a temporary file", std::strerror(errno));
            return;
        }
        ::close(fd);
        converted = tmpl;
        const int before = rep.errors();
        convertArchive(source, converted, kFormatZip, rep);
        if (rep.errors() != before) {
            unlink(converted.c_str());
            return;
        }
        payload = converted;
    }
    const bool made = writeThroughTemp(
        target,
        [&](const fs::path& temp) {
            const int fd = ::open(temp.c_str(), O_RDWR | O_TRUNC);
            if (fd < 0) {
                rep.error("", target, "Cannot create the program", std::strerror(errno));
                return false;
            }
            bool good = appendFile(fd, stub);
            const off_t stubSize = lseek(fd, 0, SEEK_CUR);
            good = good && appendFile(fd, payload);
            const off_t total = lseek(fd, 0, SEEK_CUR);
            if (!good) rep.error("", target, "Cannot write the program", "disk full?");
            if (good && !shiftZipOffsets(fd, static_cast<std::uint64_t>(stubSize), static_cast<std::uint64_t>(total))) {
                rep.error("", target, "Cannot build the program", "the zip payload is damaged");
                good = false;
            }
            ::close(fd);
            if (good) chmod(temp.c_str(), 0755);
            return good;
        },
        rep);
    if (made) chmod(target.c_str(), 0755);
    if (!converted.empty()) unlink(converted.c_str());
}

}  // namespace quarva::formatlib
