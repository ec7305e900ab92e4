// Compression methods beyond deflate: bzip2, LZMA, XZ, Zstandard and Deflate64 read
// from archives that peer tools (7z, Info-ZIP zip) and the libraries make, plain and
// encrypted; PPMd and strong encryption refused by name; damaged streams and aborts.

#include "engine/ZipEngine.h"
#include "engine/ZipMethods.h"
#include "engine/ZipReader.h"
#include "EngineTestUtil.h"

#include <lzma.h>
#include <zstd.h>

#include <atomic>

using namespace quarva::engine;
using namespace quarva::engine::testutil;
using quarva::testing::haveTool;
using quarva::testing::readFile;
using quarva::testing::runCommand;
using quarva::testing::writeFile;
namespace fs = std::filesystem;

namespace {

// An entry written as given: packed bytes, method and flags of our choosing.
struct PackedEntry {
    std::string name, plain, packed;
    std::uint16_t method = 0, flags = 0;
    std::uint64_t declared = ~0ull;  // the size the headers give, when not plain's
};

bool writePacked(const fs::path& path, const std::vector<PackedEntry>& entries) {
    OutputFile out;
    if (!out.createBeside(path.string())) return false;
    ZipWriter w(out);
    for (const auto& p : entries) {
        ZipEntry e;
        e.name = e.rawName = p.name;
        e.versionMadeBy = (3 << 8) | 63;
        e.versionNeeded = 63;
        e.mtime = 1704164645;
        unixToDos(e.mtime, e.dosDate, e.dosTime);
        e.externalAttr = 0100644u << 16;
        e.method = p.method;
        e.flags = p.flags;
        e.size = p.declared != ~0ull ? p.declared : p.plain.size();
        e.crc = std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(p.plain.data()), uInt(p.plain.size())));
        e.packedSize = p.packed.size();
        if (!w.beginEntry(e, false, true) || !w.writeData(p.packed.data(), p.packed.size()) || !w.endEntry(e))
            return false;
    }
    return w.finish({}) && out.commit();
}

std::string zstdFrame(const std::string& s, int level) {
    std::string out(ZSTD_compressBound(s.size()), '\0');
    out.resize(ZSTD_compress(out.data(), out.size(), s.data(), s.size(), level));
    return out;
}

// LZMA as a zip holds it: version, properties size, properties, raw stream; with
// the end marker or (ext) ending at the declared size.
std::string zipLzma(const std::string& s, bool endMarker) {
    lzma_options_lzma opt{};
    lzma_lzma_preset(&opt, 6);
    opt.ext_flags = endMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    lzma_filter f[2] = {{endMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::string head = {char(9), char(20), char(5), char(0)};
    std::uint8_t props[5];
    lzma_filter pf = {LZMA_FILTER_LZMA1, &opt};
    if (lzma_properties_encode(&pf, props) != LZMA_OK) return {};
    head.append(reinterpret_cast<char*>(props), 5);
    std::string out(s.size() + s.size() / 2 + 4096, '\0');
    std::size_t pos = 0;
    if (lzma_raw_buffer_encode(f, nullptr, reinterpret_cast<const std::uint8_t*>(s.data()), s.size(),
                               reinterpret_cast<std::uint8_t*>(out.data()), &pos, out.size()) != LZMA_OK)
        return {};
    out.resize(pos);
    return head + out;
}

std::string textOf(std::size_t lines) {
    std::string t;
    for (std::size_t i = 0; i < lines; ++i) t += "entry line " + std::to_string(i * 7919 % 100003) + " of the file\n";
    return t;
}

class Methods : public quarva::testing::FolderTest {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        src = dir() / "src";
        fs::create_directories(src / "sub");
        writeFile(src / "text.txt", textOf(12000));
        writeFile(src / "rand.bin", quarva::testing::randomBytes(90000, 3));
        // Far matches (40 KB back: beyond deflate's window) and runs longer than 258.
        auto block = quarva::testing::randomBytes(40000, 5);
        std::string far(block.begin(), block.end());
        writeFile(src / "sub" / "far.bin", far + far + far + std::string(300000, 'z') + far);
        writeFile(src / "sub" / "empty.txt", "");
        qzip = quarva::testing::buildDir() / "tools" / "qzip" / "qzip";
    }

    // A zip of src made by 7z with the given switches; empty when 7z failed.
    fs::path sevenZip(const std::string& name, const std::string& switches) {
        fs::path z = dir() / name;
        std::string out;
        int rc = runCommand("cd " + q(src) + " && 7z a -tzip " + switches + " " + q(z) + " . >/dev/null", &out);
        EXPECT_EQ(rc, 0) << out;
        return rc == 0 ? z : fs::path();
    }

    // The methods the engine lists for the archive's files.
    std::set<int> listedMethods(const fs::path& z) {
        Recorder r;
        ZipEngine e;
        r.attach(e);
        e.setArchiveName(z.string());
        EXPECT_EQ(e.list(), 0);
        std::set<int> m;
        for (auto& ev : r.events)
            if (ev.id == 6 && ev.name().back() != '\\' && ev.int16At(9) != kMethodStored) m.insert(ev.int16At(9));
        return m;
    }

    // Tests and extracts through the engine (and through qzip when built); every
    // file comes out as it went in.
    void expectReadable(const fs::path& z, const std::string& password = {}) {
        SCOPED_TRACE(z.filename().string());
        Recorder r;
        ZipEngine e;
        r.attach(e);
        e.setArchiveName(z.string());
        e.setPassword(password);
        EXPECT_EQ(e.test(), 0);
        fs::path out = dir() / ("out-" + z.stem().string());
        e.setExtractFolder(out.string());
        EXPECT_EQ(e.extract(0), 0);
        for (auto& ev : r.events)
            if (ev.id == 10) ADD_FAILURE() << ev.name() << " skipped: " << ev.int16At(1);
        expectSame(out);
        if (!fs::exists(qzip)) return;
        std::string pw = password.empty() ? "" : " --password " + password, log;
        EXPECT_EQ(runCommand(q(qzip) + " t " + q(z) + pw, &log), 0) << log;
        fs::path out2 = out.string() + "-qzip";
        EXPECT_EQ(runCommand(q(qzip) + " x " + q(z) + " -d " + q(out2) + pw, &log), 0) << log;
        expectSame(out2);
    }

    void expectSame(const fs::path& out) {
        for (auto& f : fs::recursive_directory_iterator(src)) {
            if (!f.is_regular_file()) continue;
            fs::path back = out / fs::relative(f.path(), src);
            ASSERT_TRUE(fs::exists(back)) << back;
            EXPECT_TRUE(readFile(back) == readFile(f.path())) << back;
        }
    }

    // The reasons of the skip events of a run.
    std::vector<std::int16_t> skipReasons(const Recorder& r) {
        std::vector<std::int16_t> v;
        for (auto& ev : r.events)
            if (ev.id == 10) v.push_back(ev.int16At(1));
        return v;
    }

    fs::path src, qzip;
};

// Feeds a string in small blocks and collects the output.
struct StringInput : PackedInput {
    std::string data;
    std::size_t at = 0, block = 1000;
    bool next(const unsigned char*& p, std::size_t& n) override {
        n = std::min(block, data.size() - at);
        p = reinterpret_cast<const unsigned char*>(data.data()) + at;
        at += n;
        return true;
    }
};
struct StringOutput : PlainOutput {
    std::string data;
    StreamResult put(const unsigned char* p, std::size_t n) override {
        if (data.size() + n > (64u << 20)) return StreamResult::Damaged;
        data.append(reinterpret_cast<const char*>(p), n);
        return StreamResult::Ok;
    }
};

}  // namespace

TEST_F(Methods, PeerArchivesOfEveryMethod) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z missing (p7zip-full)";
    const std::vector<std::pair<std::string, int>> methods = {
        {"BZip2", kMethodBzip2}, {"LZMA", kMethodLzma}, {"Deflate64", kMethodDeflate64}, {"XZ", kMethodXz}};
    for (auto& [name, number] : methods) {
        fs::path z = sevenZip(name + ".zip", "-mm=" + name);
        if (z.empty()) continue;
        EXPECT_EQ(listedMethods(z), std::set<int>{number}) << name;
        expectReadable(z);
    }
    // Deflate64 at its strongest setting reaches the far distances and long lengths.
    fs::path z = sevenZip("deflate64-max.zip", "-mm=Deflate64 -mx=9");
    if (!z.empty()) expectReadable(z);
    if (haveTool("zip")) {
        fs::path iz = dir() / "infozip-bzip2.zip";
        std::string out;
        ASSERT_EQ(runCommand("cd " + q(src) + " && zip -q -r -Z bzip2 " + q(iz) + " .", &out), 0) << out;
        EXPECT_EQ(listedMethods(iz), std::set<int>{kMethodBzip2});
        expectReadable(iz);
    }
}

TEST_F(Methods, LibraryStreamsWithoutPeers) {
    std::string text = textOf(30000), half = text.substr(0, text.size() / 2);
    fs::path z = dir() / "lib.zip";
    ASSERT_TRUE(writePacked(
        z, {{"one-frame.txt", text, zstdFrame(text, 3), kMethodZstd, 0},
            {"two-frames.txt", text, zstdFrame(half, 1) + zstdFrame(text.substr(half.size()), 19), kMethodZstd, 0},
            {"lzma-eos.txt", text, zipLzma(text, true), kMethodLzma, kFlagLzmaEndMarker},
            {"lzma-sized.txt", text, zipLzma(text, false), kMethodLzma, 0},
            {"zstd-empty.txt", "", zstdFrame("", 3), kMethodZstd, 0}}));
    Recorder r;
    ZipEngine e;
    r.attach(e);
    e.setArchiveName(z.string());
    e.setExtractFolder((dir() / "out").string());
    EXPECT_EQ(e.test(), 0);
    EXPECT_EQ(e.extract(0), 0);
    for (auto& ev : r.events)
        if (ev.id == 10) ADD_FAILURE() << ev.name() << ": " << ev.int16At(1);
    for (auto n : {"one-frame.txt", "two-frames.txt", "lzma-eos.txt", "lzma-sized.txt"})
        EXPECT_TRUE(readFile(dir() / "out" / n) == text) << n;
    EXPECT_EQ(fs::file_size(dir() / "out" / "zstd-empty.txt"), 0u);
}

TEST_F(Methods, EncryptedEntriesOfNewMethods) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z missing (p7zip-full)";
    for (auto sw : {"-mm=Deflate64 -mem=AES256", "-mm=BZip2 -mem=AES128", "-mm=LZMA -mem=ZipCrypto",
                    "-mm=Deflate64 -mem=ZipCrypto"}) {
        std::string name = std::string(sw);
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        fs::path z = sevenZip(name + ".zip", std::string(sw) + " -ppa55word");
        if (!z.empty()) expectReadable(z, "pa55word");
    }
    // A wrong password is a password problem, not damage.
    fs::path z = dir() / "_mm_Deflate64__mem_AES256.zip";
    Recorder r;
    ZipEngine e;
    r.attach(e);
    e.setArchiveName(z.string());
    e.setPassword("wrong");
    e.test();
    auto reasons = skipReasons(r);
    ASSERT_FALSE(reasons.empty());
    EXPECT_EQ(reasons[0], std::int16_t(SkipReason::Password));
}

TEST_F(Methods, PpmdAndStrongEncryptionAreNamed) {
    fs::path strong = dir() / "strong.zip";
    ASSERT_TRUE(writePacked(strong, {{"s.txt", "secret", std::string(40, '\x5a'), kMethodDeflate,
                                      std::uint16_t(kFlagEncrypted | kFlagStrong)}}));
    std::vector<std::pair<fs::path, std::string>> cases = {{strong, "unsupported encryption: strong encryption"}};
    if (haveTool("7z")) {
        fs::path ppmd = sevenZip("ppmd.zip", "-mm=PPMd");
        cases.push_back({ppmd, "unsupported compression method: PPMd"});
        EXPECT_EQ(listedMethods(ppmd), std::set<int>{kMethodPpmd});
    }
    for (auto& [z, message] : cases) {
        Recorder r;
        ZipEngine e;
        r.attach(e);
        e.setArchiveName(z.string());
        // The empty file of the PPMd archive is stored and tests fine.
        EXPECT_EQ(e.test(), z == strong ? kStatusCouldNotTest : kStatusCrcFailed);
        auto reasons = skipReasons(r);
        ASSERT_FALSE(reasons.empty());
        EXPECT_EQ(reasons[0], z == strong ? std::int16_t(SkipReason::UnsupportedEncryption)
                                          : std::int16_t(SkipReason::UnsupportedMethod));
        if (!fs::exists(qzip)) continue;
        std::string out;
        EXPECT_EQ(runCommand("LANG=C " + q(qzip) + " t " + q(z), &out), 2) << out;
        EXPECT_NE(out.find(message), std::string::npos) << out;
        EXPECT_NE(out.find("Testing failed: "), std::string::npos) << out;
        EXPECT_EQ(out.find("CRC"), std::string::npos) << out;
        EXPECT_EQ(runCommand(q(qzip) + " x " + q(z) + " -d " + q(dir() / "x"), &out), 1) << out;
        EXPECT_NE(out.find(message), std::string::npos) << out;
    }
}

TEST_F(Methods, DamagedStreamsAndAborts) {
    std::string text = textOf(40000);
    fs::path z = dir() / "d.zip";
    std::string frame = zstdFrame(text, 3), lz = zipLzma(text, false);
    std::string flipped = frame;
    flipped[flipped.size() / 2] ^= 0x55;
    PackedEntry bigger{"bigger.txt", text.substr(0, 1000), frame, kMethodZstd, 0};  // declared smaller than it is
    ASSERT_TRUE(writePacked(
        z, {{"flipped.txt", text, flipped, kMethodZstd, 0},
            {"cut.txt", text, frame.substr(0, frame.size() - 100), kMethodZstd, 0},
            {"cut-lzma.txt", text, lz.substr(0, lz.size() / 2), kMethodLzma, 0},
            {"badprops.txt", text, std::string("\x09\x14\x07\x00", 4) + lz.substr(4), kMethodLzma, 0},
            {"noise64.txt", text, std::string(5000, '\x9c'), kMethodDeflate64, 0},
            bigger,
            // 4 GiB of window for a 2 GiB entry: refused before anything is set aside.
            {"hugedict.txt", "", lz.substr(0, 5) + "\xff\xff\xff\xff" + lz.substr(9), kMethodLzma, 0, 2ull << 30}}));
    Recorder r;
    ZipEngine e;
    r.attach(e);
    e.setArchiveName(z.string());
    EXPECT_EQ(e.test(), kStatusCrcFailed);
    auto reasons = skipReasons(r);
    ASSERT_EQ(reasons.size(), 7u);
    for (std::size_t i = 0; i < reasons.size(); ++i)
        if (i == 3 || i == 6)
            EXPECT_EQ(reasons[i], std::int16_t(SkipReason::UnsupportedMethod));  // properties we cannot use
        else
            EXPECT_TRUE(reasons[i] == std::int16_t(SkipReason::Damaged) || reasons[i] == std::int16_t(SkipReason::Crc))
                << i << ": " << reasons[i];

    // An abort is honoured between blocks, also in the middle of a stream.
    fs::path big = dir() / "big.zip";
    std::string large = textOf(200000);
    ASSERT_TRUE(writePacked(big, {{"l.txt", large, zstdFrame(large, 1), kMethodZstd, 0}}));
    InputFile f;
    ASSERT_EQ(f.open(big.string()), 0);
    ZipDirectory d;
    ASSERT_EQ(readDirectory(f, d), 0);
    std::atomic<bool> abort{false};
    std::size_t blocks = 0;
    DecodeOutcome o =
        decodeEntry(f, d, d.entries[0], dataLimits(d)[0], {}, abort, [&](const unsigned char*, std::size_t) {
            if (++blocks == 2) abort = true;
            return true;
        });
    EXPECT_EQ(o.result, DecodeResult::Aborted);
    EXPECT_EQ(blocks, 2u);
}

TEST_F(Methods, Inflate64DecoderAgainstZlibAndNoise) {
    // Plain deflate through the same decoder gives zlib's result, in any block size.
    std::string text = textOf(20000);
    auto rnd = quarva::testing::randomBytes(50000, 9);
    std::string mixed = text + std::string(rnd.begin(), rnd.end()) + text.substr(0, 70000);
    for (int level : {0, 1, 9}) {
        z_stream zs{};
        ASSERT_EQ(deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
        std::string packed(deflateBound(&zs, uLong(mixed.size())), '\0');
        zs.next_in = reinterpret_cast<Bytef*>(mixed.data());
        zs.avail_in = uInt(mixed.size());
        zs.next_out = reinterpret_cast<Bytef*>(packed.data());
        zs.avail_out = uInt(packed.size());
        ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
        packed.resize(zs.total_out);
        deflateEnd(&zs);
        for (std::size_t block : {1, 7, 65536}) {
            StringInput in;
            in.data = packed;
            in.block = block;
            StringOutput out;
            EXPECT_EQ(inflate64(in, out, false), StreamResult::Ok) << level << "/" << block;
            EXPECT_TRUE(out.data == mixed) << level << "/" << block;
        }
    }
    // Noise never crashes or runs away: it ends as damaged (or, rarely, as a short stream).
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        auto noise = quarva::testing::randomBytes(2000, seed);
        StringInput in;
        in.data.assign(noise.begin(), noise.end());
        StringOutput out;
        StreamResult r = inflate64(in, out);
        EXPECT_TRUE(r == StreamResult::Damaged || r == StreamResult::Ok) << seed;
    }
}

// Bits as deflate sends them: values from their lowest bit, prefix codes from
// their first (highest) bit.
struct BitWriter {
    std::string out;
    std::uint32_t acc = 0;
    unsigned count = 0;
    void bits(std::uint32_t v, unsigned n) {
        for (unsigned i = 0; i < n; ++i) {
            acc |= ((v >> i) & 1u) << count;
            if (++count == 8) flushByte();
        }
    }
    void code(std::uint32_t c, unsigned n) {
        for (unsigned i = n; i-- > 0;) bits((c >> i) & 1u, 1);
    }
    void flushByte() {
        out.push_back(char(acc));
        acc = count = 0;
    }
    void align() {
        if (count) flushByte();
    }
};

TEST_F(Methods, Deflate64LongLengthsAndFarDistances) {
    // A stored block of 40000 bytes, then a block with the fixed codes: a match of
    // 60000 bytes (length code 285, 16 extra bits) 40000 back (distance code 30),
    // one of 300 bytes 65536 back (distance code 31, the farthest), the end.
    auto rnd = quarva::testing::randomBytes(40000, 11);
    std::string expected(rnd.begin(), rnd.end());
    BitWriter w;
    w.bits(0, 1);
    w.bits(0, 2);
    w.align();
    w.bits(40000, 16);
    w.bits(~40000u & 0xFFFF, 16);
    w.out += expected;
    w.bits(1, 1);
    w.bits(1, 2);
    auto match = [&](std::uint32_t length, unsigned dcode, std::uint32_t distance, std::uint32_t dbase) {
        w.code(0xC0 + (285 - 280), 8);
        w.bits(length - 3, 16);
        w.code(dcode, 5);
        w.bits(distance - dbase, 14);
        for (std::uint32_t i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
    };
    match(60000, 30, 40000, 32769);
    match(300, 31, 65536, 49153);
    w.code(0, 7);  // end of block
    w.align();
    for (bool wide : {true, false}) {
        StringInput in;
        in.data = w.out;
        StringOutput out;
        StreamResult r = inflate64(in, out, wide);
        // Plain deflate reads the same bits differently (code 285 is 258, no extra bits).
        EXPECT_EQ(r == StreamResult::Ok && out.data == expected, wide);
    }
    // A distance before the start of the data is damage, not a read outside.
    BitWriter bad;
    bad.bits(1, 1);
    bad.bits(1, 2);
    bad.code(0x30 + 'a', 8);
    bad.code(0xC0 + 5, 8);
    bad.bits(0, 16);
    bad.code(31, 5);
    bad.bits(0, 14);
    bad.align();
    StringInput in;
    in.data = bad.out;
    StringOutput out;
    EXPECT_EQ(inflate64(in, out), StreamResult::Damaged);
}

TEST_F(Methods, LargeEntriesStreamWithProgress) {
    // A damaged large deflated entry is found out on the way and leaves no file.
    fs::path bad = dir() / "bad.zip";
    ASSERT_TRUE(writePacked(bad, {{"noise.bin", "", std::string(10000, '\x9c'), kMethodDeflate, 0, 9u << 20}}));
    {
        Recorder r;
        ZipEngine e;
        r.attach(e);
        e.setArchiveName(bad.string());
        e.setExtractFolder((dir() / "bad").string());
        EXPECT_EQ(e.extract(0), kStatusCrcFailed);
        auto reasons = skipReasons(r);
        ASSERT_EQ(reasons.size(), 1u);
        EXPECT_TRUE(reasons[0] == std::int16_t(SkipReason::Damaged) || reasons[0] == std::int16_t(SkipReason::Crc));
        EXPECT_FALSE(fs::exists(dir() / "bad" / "noise.bin"));
    }
    if (!haveTool("7z")) GTEST_SKIP() << "7z missing (p7zip-full)";
    // Larger than what is decoded in one piece: decoded in blocks, with progress events.
    fs::remove_all(src);
    fs::create_directories(src);
    writeFile(src / "large.txt", textOf(300000));
    for (auto m : {"Deflate", "BZip2", "Deflate64"}) {
        fs::path z = sevenZip(std::string("large-") + m + ".zip", std::string("-mx=1 -mm=") + m);
        if (z.empty()) continue;
        ASSERT_GT(fs::file_size(src / "large.txt"), 8u << 20);
        Recorder r;
        ZipEngine e;
        r.attach(e);
        e.setArchiveName(z.string());
        e.setExtractFolder((dir() / m).string());
        ASSERT_EQ(e.extract(0), 0) << m;
        EXPECT_GT(r.count(3), 0u) << m;
        EXPECT_TRUE(readFile(dir() / m / "large.txt") == readFile(src / "large.txt")) << m;
    }
}
