#include "platform/testing/ArchiveBytes.h"

#include <cstdio>

namespace quarva::testing {

std::uint32_t crc32Of(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

TarBuilder& TarBuilder::add(const std::string& name, char type, const std::string& data, const std::string& link) {
    if (name.size() > 99) {
        const std::string record = " path=" + name + "\n";
        std::size_t len = record.size() + 1;
        while (std::to_string(len).size() + record.size() != len) ++len;
        block("PaxHeader/long", 'x', std::to_string(len) + record, {});
        block("long-name-in-pax", type, data, link);
    } else {
        block(name, type, data, link);
    }
    return *this;
}

void TarBuilder::block(const std::string& name, char type, const std::string& data, const std::string& link) {
    std::string h(512, '\0');
    auto put = [&h](std::size_t at, const std::string& s) { h.replace(at, s.size(), s); };
    auto octal = [](std::uint64_t v, int width) {
        char b[32];
        std::snprintf(b, sizeof b, "%0*llo", width - 1, static_cast<unsigned long long>(v));
        return std::string(b);
    };
    put(0, name);
    put(100, octal(0644, 8));
    put(108, octal(0, 8));
    put(116, octal(0, 8));
    put(124, octal(data.size(), 12));
    put(136, octal(1700000000, 12));
    put(148, "        ");
    h[156] = type;
    put(157, link);
    put(257, std::string("ustar\0"
                         "00",
                         8));
    if (type == '3') {
        put(329, octal(1, 8));
        put(337, octal(3, 8));
    }
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    put(148, octal(sum, 7));
    bytes_ += h + data + std::string((512 - data.size() % 512) % 512, '\0');
}

namespace {

void put16(std::string& s, std::uint32_t v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
void put64(std::string& s, std::uint64_t v) {
    put32(s, std::uint32_t(v));
    put32(s, std::uint32_t(v >> 32));
}

}  // namespace

std::string zipArchive(const std::vector<ZipMember>& members, bool streamed) {
    std::string out, central;
    const std::uint32_t dosTime = (12u << 11) | (30u << 5), dosDate = ((2024u - 1980u) << 9) | (1u << 5) | 2u;
    for (const auto& m : members) {
        const std::string& payload = m.method ? m.packed : m.data;
        const std::uint32_t crc = crc32Of(m.data);
        const std::uint64_t offset = out.size();
        const std::uint16_t flags = streamed ? 8 : 0, needed = streamed ? 45 : 20;
        // Local header: with `streamed` the sizes follow the data.
        put32(out, 0x04034b50);
        put16(out, needed);
        put16(out, flags);
        put16(out, m.method);
        put16(out, dosTime);
        put16(out, dosDate);
        put32(out, streamed ? 0 : crc);
        put32(out, streamed ? 0xFFFFFFFFu : std::uint32_t(payload.size()));
        put32(out, streamed ? 0xFFFFFFFFu : std::uint32_t(m.data.size()));
        put16(out, std::uint32_t(m.name.size()));
        put16(out, streamed ? 20 : 0);
        out += m.name;
        if (streamed) {
            put16(out, 1);
            put16(out, 16);
            put64(out, 0);
            put64(out, 0);
        }
        out += payload;
        if (streamed) {
            put32(out, 0x08074b50);
            put32(out, crc);
            put64(out, payload.size());
            put64(out, m.data.size());
        }
        // Its central record.
        put32(central, 0x02014b50);
        put16(central, (3u << 8) | 63u);
        put16(central, needed);
        put16(central, flags);
        put16(central, m.method);
        put16(central, dosTime);
        put16(central, dosDate);
        put32(central, crc);
        put32(central, streamed ? 0xFFFFFFFFu : std::uint32_t(payload.size()));
        put32(central, streamed ? 0xFFFFFFFFu : std::uint32_t(m.data.size()));
        put16(central, std::uint32_t(m.name.size()));
        put16(central, streamed ? 28 : 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, m.unixMode << 16);
        put32(central, streamed ? 0xFFFFFFFFu : std::uint32_t(offset));
        central += m.name;
        if (streamed) {
            put16(central, 1);
            put16(central, 24);
            put64(central, m.data.size());
            put64(central, payload.size());
            put64(central, offset);
        }
    }
    const std::uint64_t centralAt = out.size(), count = members.size();
    out += central;
    if (streamed) {
        const std::uint64_t zip64End = out.size();
        put32(out, 0x06064b50);
        put64(out, 44);
        put16(out, 45);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, count);
        put64(out, count);
        put64(out, central.size());
        put64(out, centralAt);
        put32(out, 0x07064b50);
        put32(out, 0);
        put64(out, zip64End);
        put32(out, 1);
    }
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, streamed ? 0xFFFF : std::uint32_t(count));
    put16(out, streamed ? 0xFFFF : std::uint32_t(count));
    put32(out, streamed ? 0xFFFFFFFFu : std::uint32_t(central.size()));
    put32(out, streamed ? 0xFFFFFFFFu : std::uint32_t(centralAt));
    put16(out, 0);
    return out;
}

}  // namespace quarva::testing
