// lha/lzh: read through libarchive (lh0, lh5, lh6, lh7, lzs ...), written by our own
// writer (formats/LhaWriter.cpp).

#include <archive.h>

#include <fstream>
#include <map>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LhaWriter.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

unsigned le16(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8);
}
std::uint32_t le32(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// Packed size, CRC and method of every entry, from the headers (levels 0, 1 and 2).
// Anything unexpected ends the walk: the listing then simply lacks these values.
std::map<std::string, StoredInfo> readLhaHeaders(const std::filesystem::path& path)
{
    std::map<std::string, StoredInfo> out;
    std::ifstream in(path, std::ios::binary);
    std::uint64_t pos = 0;
    for (int guard = 0; guard < 1000000; ++guard) {
        std::vector<unsigned char> b(4096);
        in.clear();
        in.seekg(static_cast<std::streamoff>(pos));
        in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
        b.resize(static_cast<std::size_t>(in.gcount()));
        if (b.size() < 24 || b[0] == 0 || b[2] != '-' || b[6] != '-') break;
        const unsigned level = b[20];
        const std::string method(reinterpret_cast<const char*>(&b[3]), 3);
        std::uint32_t packed = le32(b, 7);
        std::string name, folder;
        std::uint16_t crc = 0;
        std::size_t headerSize = 0;
        auto walkExtensions = [&](std::size_t at, unsigned size, std::uint32_t* extBytes) {
            while (size >= 3 && at + size <= b.size()) {
                const unsigned type = b[at];
                std::string data(reinterpret_cast<const char*>(&b[at + 1]), size - 3);
                if (type == 0x01) name = data;
                if (type == 0x02) {
                    for (auto& c : data)
                        if (static_cast<unsigned char>(c) == 0xFF) c = '/';
                    folder = data;
                }
                if (extBytes) *extBytes += size;
                at += size;
                size = le16(b, at - 2);
            }
            return size == 0;
        };
        if (level == 0 || level == 1) {
            headerSize = b[0] + 2u;
            const unsigned n = b[21];
            if (22u + n + 2 > b.size()) break;
            name.assign(reinterpret_cast<const char*>(&b[22]), n);
            crc = static_cast<std::uint16_t>(le16(b, 22 + n));
            if (level == 1) {
                std::uint32_t ext = 0;
                if (!walkExtensions(headerSize, le16(b, headerSize - 2), &ext)) break;
                if (ext > packed) break;
                packed -= ext;  // the level-1 size counts the extended headers too
                headerSize += ext;
            }
            for (auto& c : name)
                if (c == '\\' || static_cast<unsigned char>(c) == 0xFF) c = '/';
        } else if (level == 2) {
            headerSize = le16(b, 0);
            crc = static_cast<std::uint16_t>(le16(b, 21));
            if (headerSize > b.size() || !walkExtensions(26, le16(b, 24), nullptr)) break;
        } else {
            break;
        }
        std::string full = folder.empty() ? name : folder + (folder.back() == '/' ? "" : "/") + name;
        const auto bar = full.find('|');
        if (bar != std::string::npos) full = full.substr(0, bar);  // a link: "name|target"
        out[full] = {packed, crc, method};
        pos += headerSize + packed;
    }
    return out;
}

class LhaHandler : public HandlerBase {
public:
    LhaHandler() : HandlerBase("lha", {"lzh", "lha"}, kCanRead | kCanCreate | kCanAdd | kCanDelete) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override
    {
        if (size < 21 || head[2] != '-' || head[6] != '-') return 0;
        if ((head[3] == 'l' && head[4] == 'h') || (head[3] == 'l' && head[4] == 'z')) return 85;
        return 0;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override
    {
        auto r = std::make_unique<AnnotatedReader>(
            path, [](struct archive* a) { archive_read_support_format_lha(a); }, std::string(), kKindOther, "lha",
            readLhaHeaders(path));
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions&,
                                              std::string* error) const override
    {
        auto w = std::make_unique<LhaWriter>(path);
        if (!w->ok()) {
            *error = "cannot create the file";
            return nullptr;
        }
        return w;
    }
};

}  // namespace

const FormatHandler& lhaHandler()
{
    static LhaHandler h;
    return h;
}

}  // namespace quarva::formatlib
