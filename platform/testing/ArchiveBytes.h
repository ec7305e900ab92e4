#pragma once
// Archives written byte by byte, for entries no tool makes on purpose: ".." and
// absolute names, links that lead out, devices, long names, zip64 records. The
// tests build their hostile input with these, so they need no outside program.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quarva::testing {

std::uint32_t crc32Of(const std::string& data);

// A tar written header block by header block (ustar; a pax record for names over 99 bytes).
class TarBuilder {
public:
    // `type` is the tar type flag: '0' file, '1' hard link, '2' symlink, '3' device, '5' folder, '6' fifo.
    TarBuilder& add(const std::string& name, char type, const std::string& data = {}, const std::string& link = {});
    TarBuilder& file(const std::string& name, const std::string& data) { return add(name, '0', data); }
    // The entries without the end mark.
    const std::string& entries() const { return bytes_; }
    std::string archive() const { return bytes_ + std::string(1024, '\0'); }

private:
    void block(const std::string& name, char type, const std::string& data, const std::string& link);
    std::string bytes_;
};

struct ZipMember {
    ZipMember(std::string name, std::string data, std::uint32_t unixMode = 0100644)
        : name(std::move(name)), data(std::move(data)), unixMode(unixMode) {}
    std::string name;
    std::string data;          // what the entry holds
    std::uint32_t unixMode;    // 0120777 for a symbolic link (data is its target)
    std::uint16_t method = 0;  // 0 stored; otherwise `packed` holds the compressed bytes
    std::string packed;
};

// A zip of these members as written by a Unix host. With `streamed` every entry has
// its sizes in a zip64 data descriptor after the data and zip64 fields in both
// headers, and the archive ends with the zip64 end records.
std::string zipArchive(const std::vector<ZipMember>& members, bool streamed = false);

}  // namespace quarva::testing
