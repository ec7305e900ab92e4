// Our LHA writer against lhasa's `lha` and libarchive, over data that exercises
// the -lh5- coder: empty, one byte, long runs, random, text, more than one block.

#include "FormatLibTestSupport.h"
#include "formatlib/core/Names.h"
#include "formatlib/formats/LhaHeaders.h"

namespace quarva::formatlib::testing {
namespace {

class LhaTest : public FormatLibTest {};

TEST_F(LhaTest, WriterOutputPassesLhaAndReadsBackExactly) {
    const fs::path in = dir() / "data";
    fs::create_directories(in / "nested" / "deeper");
    writeFile(in / "empty", std::string());
    writeFile(in / "one", std::string("x"));
    writeFile(in / "zeros", std::string(1 << 20, '\0'));
    writeFile(in / "random", randomBytes(300000, 3));
    std::string text;
    for (int i = 0; i < 40000; ++i) text += "word" + std::to_string(i % 97) + (i % 13 ? " " : "\n");
    writeFile(in / "nested" / "text.txt", text);
    std::string mixed;
    const auto rnd = randomBytes(200000, 9);
    for (std::size_t i = 0; i < rnd.size(); ++i)
        mixed.push_back(static_cast<char>(rnd[i] % 4 ? 'a' + rnd[i] % 3 : rnd[i]));
    writeFile(in / "nested" / "deeper" / "mixed.bin", mixed);
    // A long name goes into the extended header.
    writeFile(in / (std::string(180, 'n') + ".txt"), std::string("long name"));

    compress(dir() / "w.lzh", {in.string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    if (haveTool("lha")) {
        std::string out;
        ASSERT_EQ(runCommand("lha tq '" + (dir() / "w.lzh").string() + "'", &out), 0) << out;
        fs::create_directories(dir() / "peer");
        ASSERT_EQ(runCommand("cd '" + (dir() / "peer").string() + "' && lha xq ../w.lzh", &out), 0) << out;
        EXPECT_EQ(tree(dir() / "peer" / "data"), tree(in));
    } else {
        std::cout << "lha not installed: only our reader checks the output\n";
    }
    host_.clear();
    extract(dir() / "w.lzh", dir() / "ours");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(tree(dir() / "ours" / "data"), tree(in));
    // Compresses what is compressible.
    EXPECT_LT(fs::file_size(dir() / "w.lzh"), 300000u + 200000u);
}

TEST_F(LhaTest, MatchesAtTheWindowEdgeAndAcrossBlocks) {
    // Repeats at distances around the 8 KiB window, runs longer than the longest
    // match, three-byte matches, and enough symbols for many blocks.
    const auto noise = randomBytes(8200, 11);
    std::string data;
    for (int round = 0; round < 6; ++round) {
        for (std::size_t d : {8190u, 8191u, 8192u, 8193u}) {
            const std::string chunk(reinterpret_cast<const char*>(noise.data()), d);
            data += chunk + chunk.substr(0, 300);
        }
        data += std::string(1000 + round, static_cast<char>('A' + round));
        for (int i = 0; i < 3000; ++i) data += "ab" + std::string(1, static_cast<char>('0' + i % 10));
    }
    writeFile(dir() / "edge.bin", data);
    compress(dir() / "edge.lzh", {(dir() / "edge.bin").string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_LT(fs::file_size(dir() / "edge.lzh"), data.size());
    if (haveTool("lha")) {
        std::string out;
        ASSERT_EQ(runCommand("lha tq '" + (dir() / "edge.lzh").string() + "'", &out), 0) << out;
        ASSERT_EQ(runCommand("cd '" + dir().string() + "' && mkdir peer && cd peer && lha xq ../edge.lzh", &out), 0);
        EXPECT_EQ(readFile(dir() / "peer" / "edge.bin"), data);
    }
    extract(dir() / "edge.lzh", dir() / "ours");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "ours" / "edge.bin"), data);
}

TEST_F(LhaTest, PeerMadeLzhIsRead) {
    if (!haveTool("lha")) GTEST_SKIP() << "lha not installed";
    // lhasa only reads; a level-0 -lh0- archive made by hand stands in for a peer's.
    const std::string body = "hello lha";
    std::string h;
    h.push_back(0);  // size, filled below
    h.push_back(0);  // checksum
    h += "-lh0-";
    auto le32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>(v >> (8 * i)));
    };
    le32(static_cast<std::uint32_t>(body.size()));
    le32(static_cast<std::uint32_t>(body.size()));
    le32(0x5A210000);  // DOS time and date
    h.push_back(0x20);
    h.push_back(0);  // level 0
    h.push_back(5);
    h += "p.txt";
    unsigned crc = 0;
    for (unsigned char c : body) {
        crc ^= c;
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    h.push_back(static_cast<char>(crc));
    h.push_back(static_cast<char>(crc >> 8));
    h[0] = static_cast<char>(h.size() - 2);
    unsigned sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i) sum += static_cast<unsigned char>(h[i]);
    h[1] = static_cast<char>(sum);
    writeFile(dir() / "p.lzh", h + body + std::string(1, '\0'));
    std::string out;
    ASSERT_EQ(runCommand("lha tq '" + (dir() / "p.lzh").string() + "'", &out), 0) << out;
    list(dir() / "p.lzh");
    ASSERT_EQ(host_.listedNames(), std::vector<std::string>{"p.txt"}) << host_.errorText();
    extract(dir() / "p.lzh", dir() / "o");
    EXPECT_EQ(readFile(dir() / "o" / "p.txt"), body);
}

TEST_F(LhaTest, HeadersAreReadOnlyWhereTheyAre) {
    // A level-1 header claiming 202 bytes in a file of 30, and a level-2 header cut
    // before its first extended-header size: each field is read only where it is.
    const std::string level1Hex = "c8002d6c68302d0000000000000000000000000001016100000000000000";
    std::vector<std::uint8_t> level1;
    for (std::size_t i = 0; i < level1Hex.size(); i += 2)
        level1.push_back(static_cast<std::uint8_t>(std::stoi(level1Hex.substr(i, 2), nullptr, 16)));
    EXPECT_TRUE(readLhaHeaders(level1.data(), level1.size()).empty());
    std::vector<std::uint8_t> level2 = {0x40, 0, '-', 'l', 'h', '0', '-', 0,    0, 0, 0, 0,
                                        0,    0, 0,   0,   0,   0,   0,   0x20, 2, 0, 0, 'U'};
    EXPECT_TRUE(readLhaHeaders(level2.data(), level2.size()).empty());
    writeFile(dir() / "cut.lzh", level1);
    list(dir() / "cut.lzh");  // an error record, no crash
    EXPECT_FALSE(host_.errors.empty());
}

TEST_F(LhaTest, NamesBeyondAsciiReadBackAndNamesNotUtf8AreRefused) {
    const fs::path in = dir() / "names";
    fs::create_directories(in / "dossier \xc3\xa9t\xc3\xa9");
    writeFile(in / "dossier \xc3\xa9t\xc3\xa9" /
                  "\xc3\xbcn\xc3\xaf"
                  "code \xe6\x97\xa5\xe6\x9c\xac.txt",
              std::string("u"));
    writeFile(in / "plain.txt", std::string("p"));
    compress(dir() / "n.lzh", {in.string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    const std::string stored =
        "names/dossier \xc3\xa9t\xc3\xa9/\xc3\xbcn\xc3\xaf"
        "code \xe6\x97\xa5\xe6\x9c\xac.txt";
    list(dir() / "n.lzh");  // this process runs in the C locale
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(host_.listedNames(), (std::vector<std::string>{toHostEntryName(stored), "names\\plain.txt"}));
    std::string out;
    if (haveTool("bsdtar")) {
        ASSERT_EQ(runCommand("LC_ALL=C.UTF-8 bsdtar -tf '" + (dir() / "n.lzh").string() + "'", &out), 0) << out;
        EXPECT_NE(out.find(stored), std::string::npos) << out;
    }
    if (haveTool("lha")) {
        fs::create_directories(dir() / "peer");
        ASSERT_EQ(runCommand("cd '" + (dir() / "peer").string() + "' && lha xq ../n.lzh", &out), 0) << out;
        EXPECT_EQ(readFile(dir() / "peer" / stored), "u");
    }
    // A name that is not UTF-8 cannot be recorded: it is refused, the rest is written.
    writeFile(in / "\xe9t\xe9.txt", std::string("latin-1"));
    host_.clear();
    compress(dir() / "m.lzh", {in.string()});
    ASSERT_EQ(host_.errors.size(), 1u) << host_.errorText();
    EXPECT_NE(host_.errors[0].details.find("UTF-8"), std::string::npos) << host_.errorText();
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeSkipped));
    host_.clear();
    list(dir() / "m.lzh");
    EXPECT_EQ(host_.listedNames().size(), 2u) << host_.errorText();
}

}  // namespace
}  // namespace quarva::formatlib::testing
