// Hostile archives: nothing is ever written outside the destination folder.

#include "engine/ZipEngine.h"
#include "EngineTestUtil.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace quarva::engine;
using namespace quarva::engine::testutil;
using namespace quarva::testing;

namespace {

class Hostile : public EngineTest {
protected:
    // Extracts `entries` into dir()/box/dest and returns the skip reasons by name.
    std::map<std::string, std::int16_t> extract(const std::vector<RawEntry>& entries, bool usePaths = true) {
        fs::create_directories(dir() / "box" / "dest");
        EXPECT_TRUE(makeZip(archive, entries));
        engine.setExtractFolder((dir() / "box" / "dest").string());
        engine.setSavePathInfo(usePaths);
        engine.setOverwrite(2);
        engine.extract(0);
        std::map<std::string, std::int16_t> reasons;
        for (auto& e : rec.events)
            if (e.id == 10) reasons[e.name()] = e.int16At(1);
        return reasons;
    }
    // Every path below dir()/box other than dest and what is inside it.
    std::vector<std::string> outsideDest() {
        std::vector<std::string> out;
        for (auto it = fs::recursive_directory_iterator(dir() / "box"); it != fs::recursive_directory_iterator();
             ++it) {
            auto rel = fs::relative(it->path(), dir() / "box").string();
            if (rel != "dest" && rel.rfind("dest/", 0) != 0) out.push_back(rel);
        }
        return out;
    }
};

}  // namespace

TEST_F(Hostile, TraversalNamesAreRefused) {
    auto reasons = extract({{"../evil1", "x"},
                            {"a/../../evil2", "x"},
                            {"..\\evil3", "x"},
                            {"a\\..\\..\\evil4", "x"},
                            {"/tmp/evil5-quarva", "x"},
                            {"\\evil6", "x"},
                            {"C:\\evil7", "x"},
                            {"c:evil8", "x"},
                            {"good/ok.txt", "fine"}});
    EXPECT_EQ(reasons.size(), 8u);
    for (auto& [name, reason] : reasons) EXPECT_EQ(reason, std::int16_t(SkipReason::UnsafeName)) << name;
    EXPECT_TRUE(outsideDest().empty());
    EXPECT_FALSE(fs::exists("/tmp/evil5-quarva"));
    EXPECT_EQ(readFile(dir() / "box" / "dest" / "good" / "ok.txt"), "fine");
}

TEST_F(Hostile, TraversalWithoutStoredPathsIsRefusedToo) {
    auto reasons = extract({{"../evil", "x"}, {"deep/ok.txt", "fine"}}, false);
    EXPECT_EQ(reasons.size(), 1u);
    EXPECT_TRUE(outsideDest().empty());
    EXPECT_EQ(readFile(dir() / "box" / "dest" / "ok.txt"), "fine");
}

TEST_F(Hostile, SymlinkEscapes) {
    fs::create_directories(dir() / "box" / "outside");
    auto reasons = extract({
        {"abs", (dir() / "box" / "outside").string(), 0120777},  // absolute target
        {"up", "../outside", 0120777},                           // climbs out
        {"abs/planted.txt", "x"},                                // through the refused link
        {"inner", "sub", 0120777},                               // fine: points down
        {"sub/file.txt", "data"},
        {"inner/through.txt", "x"},  // through a link the archive made
        {"file1", "one"},
        {"dir2/symlink1", "../file1", 0120777},  // fine: up from its own folder, still inside
        {"dir2/far", "../../outside", 0120777},  // climbs out from its own folder
    });
    EXPECT_EQ(reasons.count("dir2\\symlink1"), 0u);
    EXPECT_EQ(fs::read_symlink(dir() / "box" / "dest" / "dir2" / "symlink1"), "../file1");
    EXPECT_EQ(readFile(dir() / "box" / "dest" / "dir2" / "symlink1"), "one");
    EXPECT_EQ(reasons["dir2\\far"], std::int16_t(SkipReason::LinkOutside));
    EXPECT_EQ(reasons["abs"], std::int16_t(SkipReason::LinkOutside));
    EXPECT_EQ(reasons["up"], std::int16_t(SkipReason::LinkOutside));
    EXPECT_EQ(reasons["inner\\through.txt"], std::int16_t(SkipReason::LinkOutside));
    EXPECT_TRUE(fs::is_empty(dir() / "box" / "outside"));
    EXPECT_TRUE(fs::is_symlink(dir() / "box" / "dest" / "inner"));
    EXPECT_EQ(readFile(dir() / "box" / "dest" / "sub" / "file.txt"), "data");
    EXPECT_TRUE(outsideDest() == std::vector<std::string>{"outside"});
}

TEST_F(Hostile, ExistingLinkInDestinationIsNotFollowed) {
    fs::create_directories(dir() / "box" / "dest");
    fs::create_directories(dir() / "box" / "outside");
    writeFile(dir() / "box" / "outside" / "victim.txt", "original");
    // The destination already holds a link pointing out; a file of that name is
    // replaced as a file, the outside stays untouched.
    ASSERT_EQ(::symlink((dir() / "box" / "outside" / "victim.txt").c_str(), (dir() / "box" / "dest" / "v.txt").c_str()),
              0);
    auto reasons = extract({{"v.txt", "new"}});
    EXPECT_TRUE(reasons.empty());
    EXPECT_EQ(readFile(dir() / "box" / "outside" / "victim.txt"), "original");
    EXPECT_FALSE(fs::is_symlink(dir() / "box" / "dest" / "v.txt"));
    EXPECT_EQ(readFile(dir() / "box" / "dest" / "v.txt"), "new");
}

TEST_F(Hostile, SetuidBitsAreNotRestored) {
    extract({{"tool", "#!/bin/sh\n", 0104755}});
    struct stat st {};
    ASSERT_EQ(::stat((dir() / "box" / "dest" / "tool").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07000, 0u);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    // Over the file as it is now (setuid, other permissions): the entry's own bits again.
    ASSERT_EQ(::chmod((dir() / "box" / "dest" / "tool").c_str(), 04700), 0);
    extract({{"tool", "#!/bin/sh\n", 0100755}});
    ASSERT_EQ(::stat((dir() / "box" / "dest" / "tool").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST_F(Hostile, ASizeOffByWhole4GiBIsTakenOnlyWhenLengthAndCrcProveIt) {
    // One entry whose zip64 fields declare `declared` bytes for `packed` stored bytes.
    auto zip = [](std::uint16_t method, const std::string& packed, std::uint32_t crc, std::uint64_t declared) {
        std::string extra;
        put16(extra, 1);
        put16(extra, 16);
        put64(extra, declared);
        put64(extra, packed.size());
        auto header = [&](bool central) {
            std::string h;
            put32(h, central ? kSigCentral : kSigLocal);
            if (central) put16(h, 45);
            for (std::uint16_t v : {std::uint16_t(45), std::uint16_t(0), method, std::uint16_t(0), std::uint16_t(0x21)})
                put16(h, v);
            put32(h, crc);
            put32(h, 0xFFFFFFFF);
            put32(h, 0xFFFFFFFF);
            put16(h, 9);
            put16(h, std::uint16_t(extra.size()));
            if (central) h += std::string(14, '\0');  // comment, disk, attributes, offset 0
            return h + "hello.txt" + extra;
        };
        const std::string local = header(false) + packed, central = header(true);
        std::string end;
        put32(end, kSigEnd);
        for (std::uint16_t v : {0, 0, 1, 1}) put16(end, v);
        put32(end, std::uint32_t(central.size()));
        put32(end, std::uint32_t(local.size()));
        put16(end, 0);
        return local + central + end;
    };
    const std::string text(3000, 'h');
    const std::uint64_t k4GiB = 1ull << 32;
    struct Case {
        std::string bytes;
        bool readable;
        std::string plain = "hello";
    };
    const Case cases[] = {
        {zip(kMethodStored, "hello", crcOf("hello"), 5 + k4GiB), true},
        {zip(kMethodDeflate, deflateRaw(text), crcOf(text), text.size() + 2 * k4GiB), true, text},
        {zip(kMethodStored, "hello", crcOf("hellO"), 5 + k4GiB), false},  // the CRC disagrees
        {zip(kMethodStored, "hello", crcOf("hello"), 6 + k4GiB), false},  // not a whole 4 GiB
        {zip(kMethodDeflate, deflateRaw(text), crcOf(text), text.size() + k4GiB - 1), false},
    };
    for (const auto& c : cases) {
        writeFile(archive, c.bytes);
        fs::remove_all(dir() / "out");
        fs::create_directories(dir() / "out");
        engine.setExtractFolder((dir() / "out").string());
        EXPECT_EQ(engine.test() == 0, c.readable) << c.bytes.size();
        EXPECT_EQ(engine.extract(0) == 0, c.readable) << c.bytes.size();
        EXPECT_EQ(fs::exists(dir() / "out" / "hello.txt"), c.readable);
        if (c.readable) {
            EXPECT_EQ(readFile(dir() / "out" / "hello.txt"), c.plain);
        }
    }
}
