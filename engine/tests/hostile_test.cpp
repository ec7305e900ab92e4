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
