// Fuzz target for the format library's own parsers. The first byte chooses what the
// rest is fed to:
//   0  the LHA header walk (packed sizes, CRCs and methods of a listing)
//   1  UU decoding, 2  XX decoding (every entry read to its end)
//   3  every handler's bid, and the choice of a handler for the file
//   4  conversion to LZH of whatever archive the bytes are (our LHA writer)
//   5  a listing of the bytes as an LHA archive (libarchive plus our header walk)
//   6  the block-by-block tar walk of a rewrite (headers, pax and GNU records)

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Operations.h"
#include "formatlib/core/Reporter.h"
#include "formatlib/formats/Format.h"
#include "formatlib/formats/LhaHeaders.h"
#include "formatlib/formats/TarStream.h"
#include "formatlib/formats/UuCodec.h"

namespace fs = std::filesystem;
namespace qf = quarva::formatlib;

namespace {

const fs::path& scratch() {
    static const fs::path folder = [] {
        std::string t = (fs::temp_directory_path() / "qzfuzz-XXXXXX").string();
        return fs::path(mkdtemp(t.data()) ? t : "/tmp");
    }();
    return folder;
}

fs::path writeInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const fs::path p = scratch() / name;
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return p;
}

void readAll(qf::ArchiveReader& r) {
    qf::EntryInfo e;
    char buf[4096];
    for (int entries = 0; entries < 64 && r.next(e) == 1; ++entries) {
        std::uint64_t total = 0;
        for (long n; (n = r.read(buf, sizeof buf)) > 0 && total < (16u << 20);) total += static_cast<std::uint64_t>(n);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned mode = data[0];
    ++data;
    --size;
    switch (mode) {
    case 0: (void)qf::readLhaHeaders(data, size); break;
    case 1:
    case 2: {
        const auto code = mode == 1 ? qf::TextCode::UU : qf::TextCode::XX;
        qf::TextCodeReader r(writeInput(mode == 1 ? "in.uue" : "in.xxe", data, size), code);
        if (r.opened()) readAll(r);
        (void)qf::sniffText(data, size);
        break;
    }
    case 3: {
        const fs::path p = writeInput("in.bin", data, size);
        for (const auto* h : qf::allHandlers()) (void)h->bid(data, size, p);
        (void)qf::handlerForFile(p);
        break;
    }
    case 4: {
        const fs::path p = writeInput("in.bin", data, size);
        // Formats read by an outside program are that program's parsers, not ours.
        const auto* h = qf::handlerForFile(p);
        for (const auto* outside : qf::externalHandlers())
            if (h == outside) return 0;
        qf::Reporter rep(nullptr);
        qf::convertArchive(p.string(), (scratch() / "out.lzh").string(), qf::kFormatLha, rep);
        std::error_code ec;
        fs::remove(scratch() / "out.lzh", ec);
        break;
    }
    case 5: {
        const fs::path p = writeInput("in.lzh", data, size);
        qf::Reporter rep(nullptr);
        qf::listArchive(p.string(), "*.*", rep);
        break;
    }
    case 6: {
        qf::RawTarReader r(writeInput("in.tar", data, size), ARCHIVE_FILTER_NONE);
        qf::RawTarEntry e;
        for (int entries = 0; entries < 256 && r.isTar() && r.next(e) == 1; ++entries)
            if (!r.copyData(nullptr)) break;
        break;
    }
    default: break;
    }
    return 0;
}
