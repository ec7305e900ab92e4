// Changing an archive loses nothing it does not change: a tar is carried block for
// block, an entry stays when the file meant to replace it cannot be read, an entry
// that cannot be kept fails the change and leaves the archive as it was.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "FormatLibTestSupport.h"
#include "platform/testing/ArchiveBytes.h"

namespace quarva::formatlib::testing {
namespace {

class RewriteTest : public FormatLibTest {
protected:
    // Every kind of entry a rewrite must keep.
    TarBuilder sampleTar() {
        TarBuilder t;
        t.add("first.txt", '0', "one");
        t.add("hard.txt", '1', {}, "first.txt");
        t.add("/abs.txt", '0', "absolute");
        t.add("../up.txt", '0', "up");
        t.add("dev/null0", '3');
        t.add("fifo", '6');
        t.add("sym", '2', {}, "first.txt");
        t.add("dir/", '5');
        t.add("dir/" + std::string(150, 'n') + ".txt", '0', "long");
        return t;
    }
    std::string listing(const fs::path& archive) {
        std::string out;
        EXPECT_EQ(runCommand("LC_ALL=C.UTF-8 bsdtar -tvf '" + archive.string() + "'", &out), 0) << out;
        return out;
    }
    static std::string without(std::string text, const std::string& lineWith) {
        const auto at = text.find(lineWith);
        if (at == std::string::npos) return text;
        const auto start = text.rfind('\n', at);
        const auto end = text.find('\n', at);
        return text.erase(start == std::string::npos ? 0 : start + 1,
                          end - (start == std::string::npos ? 0 : start + 1) + 1);
    }
    bool noTemporaries() {
        for (auto& e : fs::directory_iterator(dir()))
            if (e.path().filename().string().rfind(".~", 0) == 0 || e.path().filename().string().rfind(".qz", 0) == 0)
                return false;
        return true;
    }
};

TEST_F(RewriteTest, TarEntriesAreCarriedByteForByte) {
    if (!haveTool("bsdtar") || !haveTool("gzip")) GTEST_SKIP() << "bsdtar and gzip are needed to check the result";
    const auto tar = sampleTar();
    const fs::path t = dir() / "t.tar";
    writeFile(t, tar.archive());
    const std::string before = listing(t);
    ASSERT_NE(before.find("hard.txt link to first.txt"), std::string::npos) << before;

    // Add: the old entries are the first bytes of the new archive, unchanged.
    writeFile(dir() / "new.txt", std::string("new"));
    compress(t, {(dir() / "new.txt").string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk));
    EXPECT_TRUE(readFile(t).compare(0, tar.entries().size(), tar.entries()) == 0);
    const std::string added = listing(t);
    EXPECT_EQ(without(added, " new.txt"), before) << added;

    // Converting to tar.gz and back keeps the bytes too.
    host_.clear();
    convert(t, dir() / "t.tgz", kFormatTarGz);
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    std::string unpacked;
    ASSERT_EQ(runCommand("gzip -dc '" + (dir() / "t.tgz").string() + "' > '" + (dir() / "u.tar").string() + "'"), 0);
    EXPECT_TRUE(readFile(dir() / "u.tar").compare(0, tar.entries().size(), tar.entries()) == 0);
    convert(dir() / "t.tgz", dir() / "back.tar", kFormatTar);
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(listing(dir() / "back.tar"), added);

    // Adding to the tar.gz keeps it a tar.gz with every entry.
    writeFile(dir() / "more.txt", std::string("more"));
    compress(dir() / "t.tgz", {(dir() / "more.txt").string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "t.tgz").substr(0, 2), "\x1f\x8b");
    EXPECT_EQ(without(listing(dir() / "t.tgz"), " more.txt"), added);

    // Delete: only the named entries go, unsafe names and specials included.
    host_.clear();
    remove(t, {"fifo", "../up.txt", "new.txt"});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(host_.deleted.size(), 3u);
    EXPECT_EQ(listing(t), without(without(before, " fifo"), " ../up.txt"));

    // An empty tar is its end mark alone; it takes new entries too.
    writeFile(dir() / "empty.tar", std::string(10240, '\0'));
    host_.clear();
    compress(dir() / "empty.tar", {(dir() / "new.txt").string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_NE(listing(dir() / "empty.tar").find(" new.txt"), std::string::npos);
    EXPECT_TRUE(noTemporaries());
}

TEST_F(RewriteTest, AnEntryThatCannotBeKeptLeavesTheArchiveUntouched) {
    const fs::path t = dir() / "t.tar";
    writeFile(t, sampleTar().archive());
    const std::string before = readFile(t);
    // The data of a kept hard link lives in the entry it points at.
    remove(t, {"first.txt"});
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed));
    EXPECT_NE(host_.errorText().find("hard link"), std::string::npos) << host_.errorText();
    EXPECT_TRUE(readFile(t) == before);

    // A damaged header half-way: neither add nor delete commits a shortened archive.
    std::string damaged = before;
    damaged[1024 + 10] ^= 0x55;  // inside the second header, under its checksum
    writeFile(t, damaged);
    writeFile(dir() / "new.txt", std::string("new"));
    host_.clear();
    compress(t, {(dir() / "new.txt").string()});
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed));
    EXPECT_TRUE(readFile(t) == damaged);
    host_.clear();
    remove(t, {"fifo"});
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed));
    EXPECT_TRUE(readFile(t) == damaged);

    // The other formats keep unsafe names on a rewrite too.
    TarBuilder unsafe;
    unsafe.add("../up.txt", '0', "up");
    unsafe.add("ok.txt", '0', "ok");
    writeFile(dir() / "u.tar", unsafe.archive());
    host_.clear();
    convert(dir() / "u.tar", dir() / "u.zip", kFormatZip);  // a conversion leaves it out, and says so
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeSkipped));
    EXPECT_TRUE(noTemporaries());
}

TEST_F(RewriteTest, AReplacementThatCannotBeReadKeepsTheOldEntry) {
    fs::create_directories(dir() / "old");
    fs::create_directories(dir() / "new");
    writeFile(dir() / "old" / "a.txt", std::string("old a"));
    writeFile(dir() / "old" / "mem", std::string("old mem"));
    writeFile(dir() / "old" / "b.txt", std::string("old b"));
    ASSERT_EQ(mkfifo((dir() / "new" / "a.txt").c_str(), 0644), 0);
    writeFile(dir() / "new" / "b.txt", std::string("new b"));
    const bool root = geteuid() == 0;
    if (!root) {
        ASSERT_EQ(chmod((dir() / "new" / "b.txt").c_str(), 0), 0);
    }
    for (const char* ext : {"lzh", "zip", "tar", "cab"}) {
        SCOPED_TRACE(ext);
        const fs::path archive = dir() / (std::string("k.") + ext);
        host_.clear();
        compress(archive, {(dir() / "old" / "a.txt").string(), (dir() / "old" / "mem").string(),
                           (dir() / "old" / "b.txt").string()});
        ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
        const std::string before = readFile(archive);

        // A fifo (and, unless we are root, an unreadable file) is skipped: its old entry stays.
        host_.clear();
        compress(archive, {(dir() / "new" / "a.txt").string(), (dir() / "new" / "b.txt").string()});
        EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeSkipped)) << host_.errorText();
        fs::remove_all(dir() / "out");
        host_.clear();
        extract(archive, dir() / "out");
        EXPECT_EQ(readFile(dir() / "out" / "a.txt"), "old a");
        EXPECT_EQ(readFile(dir() / "out" / "b.txt"), root ? "new b" : "old b");

        // A file whose reading fails half-way fails the change: nothing is lost.
        if (root) writeFile(archive, before);
        const std::string kept = readFile(archive);
        host_.clear();
        compress(archive, {"/proc/self/mem"});
        EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed)) << host_.errorText();
        EXPECT_TRUE(readFile(archive) == kept);
    }
    if (root) std::cout << "running as root: the unreadable-file case is covered by /proc/self/mem only\n";
}

TEST_F(RewriteTest, ANameAnLhaHeaderCannotHoldFailsTheConversion) {
    TarBuilder t;
    t.add("short.txt", '0', "s");
    t.add("d/" + std::string(70000, 'x'), '0', "long");
    writeFile(dir() / "long.tar", t.archive());
    convert(dir() / "long.tar", dir() / "long.lzh", kFormatLha);
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed));
    EXPECT_NE(host_.errorText().find("too long"), std::string::npos) << host_.errorText();
    EXPECT_FALSE(fs::exists(dir() / "long.lzh"));
    EXPECT_TRUE(noTemporaries());
}

TEST_F(RewriteTest, AnArchiveReachedThroughALinkIsWrittenWhereTheLinkPoints) {
    fs::create_directories(dir() / "real");
    writeFile(dir() / "a.txt", std::string("a"));
    writeFile(dir() / "b.txt", std::string("b"));
    for (const char* name : {"k.tar", "k.lzh", "k.zip", "k.tgz"}) {
        SCOPED_TRACE(name);
        const fs::path real = dir() / "real" / name, link = dir() / (std::string("link-") + name);
        host_.clear();
        compress(real, {(dir() / "a.txt").string()});
        fs::create_symlink(fs::path("real") / name, link);
        compress(link, {(dir() / "b.txt").string()});
        remove(link, {"a.txt"});
        ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
        EXPECT_TRUE(fs::is_symlink(link));
        host_.clear();
        list(real);
        EXPECT_EQ(host_.listedNames(), std::vector<std::string>{"b.txt"});
    }
    EXPECT_TRUE(noTemporaries());
    for (auto& e : fs::directory_iterator(dir() / "real")) EXPECT_NE(e.path().filename().string()[0], '.');
}

}  // namespace
}  // namespace quarva::formatlib::testing
