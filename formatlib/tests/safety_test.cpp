// Hostile archives never write outside the destination, every refusal reaches
// the host as an error record, and Abort stops a running operation.

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

class SafetyTest : public FormatLibTest {
protected:
    // Everything below `root` (files, links, folders), relative.
    static std::vector<std::string> everything(const fs::path& root) {
        std::vector<std::string> out;
        for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
            out.push_back(it->path().lexically_relative(root).generic_string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(SafetyTest, HostileTarWritesNothingOutside) {
    const fs::path box = dir() / "box";
    const fs::path dest = box / "dest";
    fs::create_directories(dest);
    TarBuilder tar;
    tar.file("ok.txt", "fine").file("../evil1.txt", "evil").file((box / "evil2.txt").string(), "evil");
    tar.file("C:\\evil3.txt", "evil").file("a\\..\\..\\evil4.txt", "evil");
    tar.add("etc", '2', {}, "/etc").file("etc/evil5.txt", "evil");
    tar.add("up", '2', {}, "../..").file("up/evil6.txt", "evil");
    tar.add("hl", '1', {}, "../outside.txt").add("inside", '2', {}, "ok.txt").file("pre/evil7.txt", "evil");
    writeFile(dir() / "hostile.tar", tar.archive());
    writeFile(box / "outside.txt", std::string("outside"));
    // A link already in the destination that leads elsewhere is never written through.
    fs::create_directories(box / "elsewhere");
    fs::create_symlink(box / "elsewhere", dest / "pre");
    extract(dir() / "hostile.tar", dest);
    // Links that lead out are not made, so later entries below their names land inside.
    const std::vector<std::string> inside = {"etc", "etc/evil5.txt", "inside", "ok.txt", "pre", "up", "up/evil6.txt"};
    EXPECT_EQ(everything(dest), inside);
    EXPECT_EQ(readFile(dest / "ok.txt"), "fine");
    EXPECT_TRUE(fs::is_empty(box / "elsewhere"));
    EXPECT_FALSE(fs::exists(box / "evil1.txt"));
    EXPECT_FALSE(fs::exists(box / "evil2.txt"));
    EXPECT_FALSE(fs::exists(dir() / "evil4.txt"));
    EXPECT_EQ(readFile(box / "outside.txt"), "outside");
    // One error record per refused entry: 4 names, 2 links out, 1 hard link, 1 path through a link.
    EXPECT_EQ(host_.errors.size(), 8u) << host_.errorText();
    for (const auto& e : host_.errors) {
        EXPECT_FALSE(e.cause.empty());
        EXPECT_FALSE(e.details.empty());
    }
    // Testing the same archive touches nothing either.
    host_.clear();
    test(dir() / "hostile.tar");
    EXPECT_EQ(everything(dest), inside);
}

TEST_F(SafetyTest, HostileZipIsRefused) {
    writeFile(dir() / "h.zip", zipArchive({{"../evil1.txt", "evil"},
                                           {"/evil2.txt", "evil"},
                                           {"a\\..\\..\\evil3.txt", "evil"},
                                           {"out", "/etc", 0120777},
                                           {"good.txt", "good"}}));
    extract(dir() / "h.zip", dir() / "box" / "dest");
    EXPECT_EQ(everything(dir() / "box"), (std::vector<std::string>{"dest", "dest/good.txt"}));
    EXPECT_EQ(host_.errors.size(), 4u) << host_.errorText();
}

TEST_F(SafetyTest, ExistingLinkInTheDestinationIsReplacedNotFollowed) {
    const auto src = makeTree();
    compress(dir() / "a.tar", {(src / "a.txt").string()});
    fs::create_directories(dir() / "dest");
    writeFile(dir() / "victim.txt", std::string("victim"));
    fs::create_symlink(dir() / "victim.txt", dir() / "dest" / "a.txt");
    host_.clear();
    extract(dir() / "a.tar", dir() / "dest");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "victim.txt"), "victim");
    EXPECT_FALSE(fs::is_symlink(dir() / "dest" / "a.txt"));
    EXPECT_EQ(readFile(dir() / "dest" / "a.txt"), readFile(src / "a.txt"));
}

TEST_F(SafetyTest, HostileCabIsRefused) {
    fs::create_directories(dir() / "zz");
    writeFile(dir() / "zz" / "evil.txt", std::string("evil"));
    writeFile(dir() / "fine.txt", std::string("fine"));
    compress(dir() / "h.cab", {(dir() / "zz").string(), (dir() / "fine.txt").string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    // Names are stored as plain text in a cabinet: turn "zz\evil.txt" into "..\evil.txt".
    std::string bytes = readFile(dir() / "h.cab");
    const auto at = bytes.find("zz\\evil.txt");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 2, "..");
    writeFile(dir() / "h.cab", bytes);
    host_.clear();
    extract(dir() / "h.cab", dir() / "box" / "dest");
    EXPECT_EQ(everything(dir() / "box"), (std::vector<std::string>{"dest", "dest/fine.txt"}));
    ASSERT_EQ(host_.errors.size(), 1u) << host_.errorText();
    EXPECT_EQ(host_.errors[0].entryName, "..\\evil.txt");
}

TEST_F(SafetyTest, HostileLzhIsRefused) {
    fs::create_directories(dir() / "zz");
    writeFile(dir() / "zz" / "evil.txt", std::string("evil"));
    compress(dir() / "h.lzh", {(dir() / "zz").string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    // Rewrite the folder part "zz" as ".." in every header and mend the header CRCs.
    std::string b = readFile(dir() / "h.lzh");
    auto le16 = [&](std::size_t o) {
        return static_cast<unsigned>(static_cast<unsigned char>(b[o]) | (static_cast<unsigned char>(b[o + 1]) << 8));
    };
    std::size_t o = 0;
    int patched = 0;
    while (o + 26 < b.size() && b[o] != 0) {
        const unsigned size = le16(o);
        const std::uint32_t packed = le16(o + 7) | (le16(o + 9) << 16);
        std::string header = b.substr(o, size);
        const auto z = header.find(std::string("zz\xff", 3));
        if (z != std::string::npos) {
            header.replace(z, 2, "..");
            header[27] = header[28] = 0;
            unsigned crc = 0;
            for (unsigned char c : header) {
                crc ^= c;
                for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
            }
            header[27] = static_cast<char>(crc);
            header[28] = static_cast<char>(crc >> 8);
            b.replace(o, size, header);
            ++patched;
        }
        o += size + packed;
    }
    ASSERT_EQ(patched, 2);
    writeFile(dir() / "h.lzh", b);
    host_.clear();
    list(dir() / "h.lzh");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    host_.clear();
    extract(dir() / "h.lzh", dir() / "box" / "dest");
    EXPECT_EQ(everything(dir() / "box"), std::vector<std::string>{"dest"});
    EXPECT_EQ(host_.errors.size(), 2u) << host_.errorText();
    EXPECT_FALSE(fs::exists(dir() / "box" / "evil.txt"));
}

TEST_F(SafetyTest, HostileAndMalformedUuText) {
    writeFile(dir() / "h.uue", std::string("begin 644 ../evil.txt\n$9FEN90``\n`\nend\n"
                                           "begin 644 /abs-evil.txt\n$9FEN90``\n`\nend\n"
                                           "begin 644 good.txt\n$9FEN90``\n`\nend\n"));
    extract(dir() / "h.uue", dir() / "box" / "dest");
    EXPECT_EQ(everything(dir() / "box"), (std::vector<std::string>{"dest", "dest/good.txt"}));
    EXPECT_EQ(readFile(dir() / "box" / "dest" / "good.txt"), "fine");
    EXPECT_EQ(host_.errors.size(), 2u) << host_.errorText();
    // Damaged body: an error record, no crash, no half file.
    writeFile(dir() / "bad.uue", std::string("begin 644 x.bin\nM") + std::string(3, '\x01') + "\nend\n");
    host_.clear();
    extract(dir() / "bad.uue", dir() / "bad");
    EXPECT_FALSE(host_.errors.empty());
    EXPECT_FALSE(fs::exists(dir() / "bad" / "x.bin"));
    // Text that never ends.
    writeFile(dir() / "cut.uue",
              std::string("begin 644 y.bin\nM86)C9&5F9VAI:FML;6YO<')S='5V=WAY>F%B8V1E9F=H:6IK;&UN;W!Q<G-T\n"));
    host_.clear();
    list(dir() / "cut.uue");
    EXPECT_FALSE(host_.errors.empty());
}

TEST_F(SafetyTest, TruncatedArchivesGiveErrorRecords) {
    const auto src = makeTree();
    for (const char* name : {"t.tar", "t.tgz", "t.zip", "t.cab", "t.lzh"}) {
        host_.clear();
        compress(dir() / name, {src.string()});
        std::string bytes = readFile(dir() / name);
        writeFile(dir() / name, bytes.substr(0, bytes.size() * 2 / 3));
        host_.clear();
        extract(dir() / name, dir() / ("cut-" + std::string(name)));
        test(dir() / name);
        EXPECT_FALSE(host_.errors.empty()) << name;
        // Nothing half-written is left: every file present is complete.
        for (const auto& [rel, content] : tree(dir() / ("cut-" + std::string(name)))) {
            EXPECT_EQ(content, readFile(src / fs::path(rel).lexically_relative("src"))) << name << " " << rel;
        }
    }
}

TEST_F(SafetyTest, DataOfUndeclaredSizeIsCutAtAPlausibleSize) {
    if (!haveTool("bzip2")) GTEST_SKIP() << "bzip2 not installed";
    // 80 MiB of one letter squeeze into a few hundred bytes: far beyond any plausible ratio.
    ASSERT_EQ(
        runCommand("head -c 83886080 /dev/zero | tr '\\0' a | bzip2 -9 > '" + (dir() / "bomb.bz2").string() + "'"), 0);
    ASSERT_LT(fs::file_size(dir() / "bomb.bz2"), 4096u);
    extract(dir() / "bomb.bz2", dir() / "out");
    ASSERT_EQ(host_.errors.size(), 1u) << host_.errorText();
    EXPECT_NE(host_.errors[0].details.find("plausible"), std::string::npos) << host_.errorText();
    EXPECT_TRUE(fs::is_empty(dir() / "out"));
}

TEST_F(SafetyTest, AbortFromAnotherThreadStopsAtTheNextEntry) {
    const fs::path in = dir() / "many";
    fs::create_directories(in);
    for (int i = 0; i < 50; ++i) writeFile(in / ("f" + std::to_string(100 + i)), randomBytes(4096, i));
    compress(dir() / "many.tar", {in.string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    host_.clear();

    std::atomic<bool> seen{false}, aborted{false};
    auto plain = host_.handler;
    host_.handler = [&](const platform::testing::RecordingWindow::Message& m) {
        const auto r = plain(m);
        if (m.message == kMsgProcessed && !seen.exchange(true))
            while (!aborted.load()) std::this_thread::yield();
        return r;
    };
    auto abortFn = lib_->entry<QzAbortFn>("Abort");
    std::thread worker([&] { extract(dir() / "many.tar", dir() / "out"); });
    while (!seen.load()) std::this_thread::yield();
    abortFn();
    aborted.store(true);
    worker.join();
    host_.handler = plain;
    EXPECT_EQ(host_.processed.size(), 1u);
    ASSERT_FALSE(host_.errors.empty());
    EXPECT_NE(host_.errors.back().cause.find("aborted"), std::string::npos) << host_.errorText();
    // The next call starts afresh.
    host_.clear();
    list(dir() / "many.tar");
    EXPECT_EQ(host_.listedNames().size(), 50u);
}

TEST_F(SafetyTest, AnAbortedChangeLeavesTheArchiveAsItWas) {
    // A file that is not there is reported before the archive is written: the
    // report is the moment to abort from another thread.
    writeFile(dir() / "keep.tar",
              TarBuilder().file("first.txt", "data").file("../bad.txt", "data").file("last.txt", "data").archive());
    const std::string before = readFile(dir() / "keep.tar");
    writeFile(dir() / "new.txt", std::string("new"));
    auto abortFn = lib_->entry<QzAbortFn>("Abort");
    auto plain = host_.handler;
    host_.handler = [&](const platform::testing::RecordingWindow::Message& m) {
        const auto r = plain(m);
        if (m.message == kMsgError && host_.errors.size() == 1) std::thread(abortFn).join();
        return r;
    };
    compress(dir() / "keep.tar", {(dir() / "new.txt").string(), (dir() / "missing.txt").string()});
    host_.handler = plain;
    ASSERT_EQ(host_.errors.size(), 2u) << host_.errorText();
    EXPECT_NE(host_.errors[1].cause.find("aborted"), std::string::npos) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "keep.tar"), before);
    EXPECT_TRUE(host_.processed.empty());
    for (auto& e : fs::directory_iterator(dir())) EXPECT_NE(e.path().filename().string().rfind(".~", 0), 0u);
}

}  // namespace
}  // namespace quarva::formatlib::testing
