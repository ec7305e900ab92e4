// Writing beneath a destination folder: nothing reached through a link, links
// only where they stay inside.

#include "platform/SafeDestination.h"
#include "platform/SafePath.h"
#include "platform/testing/TestSupport.h"

#include <sys/stat.h>

using namespace quarva::platform;
using namespace quarva::testing;

namespace {

class SafeDestinationTest : public quarva::testing::FolderTest {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        fs::create_directories(dest());
        fs::create_directories(outside());
        std::error_code ec;
        ASSERT_TRUE(d.open(dest(), ec)) << ec.message();
    }
    fs::path dest() const { return dir() / "dest"; }
    fs::path outside() const { return dir() / "outside"; }
    bool write(const std::vector<std::string>& name, const std::string& data, std::error_code& ec) {
        AtomicFile f;
        return d.createFile(name, f, ec) && f.write(data.data(), data.size(), ec) && f.commit(ec);
    }
    SafeDestination d;
};

TEST(SafePathLinks, TargetIsResolvedFromTheLinksOwnFolder) {
    auto inside = [](const std::string& link, const std::string& target) { return linkTargetInside(link, target); };
    expectEvery(inside, true, {{"dir2/symlink1", "../file1"}, {"a/b/l", "../../x/y"}, {"a/l", ".."}, {"l", "sub/./f"}});
    // In "a/b/l" -> "c/../../x" the "c" may itself be a link.
    expectEvery(inside, false, {{"l", "../x"}, {"a/l", "../../x"}, {"a/l", "b/../../../x"}, {"a/b/l", "c/../../x"}});
    expectEvery(inside, false, {{"a/l", "/etc/passwd"}, {"a/l", "C:\\x"}, {"a/l", ""}, {"../l", "x"}, {"a/l", "x\ny"}});
}

TEST_F(SafeDestinationTest, FilesFoldersAndLinksStayInside) {
    std::error_code ec;
    ASSERT_TRUE(write({"dir2", "file1"}, "one", ec)) << ec.message();
    EXPECT_EQ(readFile(dest() / "dir2" / "file1"), "one");
    ASSERT_TRUE(d.createSymlink({"dir2", "sub", "symlink1"}, "../file1", ec)) << ec.message();
    EXPECT_EQ(fs::read_symlink(dest() / "dir2" / "sub" / "symlink1"), "../file1");
    EXPECT_EQ(readFile(dest() / "dir2" / "sub" / "symlink1"), "one");

    EXPECT_FALSE(d.createSymlink({"evil"}, "../outside", ec));
    EXPECT_EQ(ec, std::errc::permission_denied);
    EXPECT_FALSE(d.createSymlink({"evil"}, outside().string(), ec));
    EXPECT_FALSE(d.exists({"evil"}));

    // A dead writer's temporary goes with the first file written into its folder.
    writeFile(dest() / "dir3" / ".qzAbCdEfGhIjKl", "left by a killed extraction");
    ASSERT_TRUE(write({"dir3", "file3"}, "three", ec)) << ec.message();
    EXPECT_FALSE(fs::exists(dest() / "dir3" / ".qzAbCdEfGhIjKl"));

    // A link already in the destination is replaced by the file, never written through.
    fs::create_symlink(outside() / "victim", dest() / "planted");
    ASSERT_TRUE(write({"planted"}, "data", ec)) << ec.message();
    EXPECT_FALSE(fs::is_symlink(dest() / "planted"));
    EXPECT_FALSE(fs::exists(outside() / "victim"));

    // Hard links, both ends beneath the root; a link as the source is linked itself.
    ASSERT_TRUE(d.createHardLink({"h", "copy"}, {"dir2", "file1"}, ec)) << ec.message();
    EXPECT_EQ(fs::hard_link_count(dest() / "dir2" / "file1"), 2u);
    writeFile(outside() / "secret", "s");
    fs::create_symlink(outside() / "secret", dest() / "toSecret");
    ASSERT_TRUE(d.createHardLink({"h2"}, {"toSecret"}, ec)) << ec.message();
    EXPECT_TRUE(fs::is_symlink(dest() / "h2"));
    EXPECT_EQ(fs::hard_link_count(outside() / "secret"), 1u);
    EXPECT_FALSE(d.createHardLink({"h3"}, {"missing"}, ec));
}

TEST_F(SafeDestinationTest, FolderSwappedForALinkIsRefused) {
    std::error_code ec;
    ASSERT_TRUE(d.createFolder({"docs"}, ec));
    // Between one entry and the next, someone replaces the folder with a link out.
    fs::remove(dest() / "docs");
    fs::create_directory_symlink(outside(), dest() / "docs");
    EXPECT_FALSE(write({"docs", "a.txt"}, "x", ec));
    EXPECT_EQ(ec, std::errc::too_many_symbolic_link_levels);
    EXPECT_FALSE(d.createSymlink({"docs", "l"}, "x", ec));
    EXPECT_FALSE(d.createHardLink({"docs", "h"}, {"docs", "x"}, ec));
    EXPECT_FALSE(d.exists({"docs", "a.txt"}));
    EXPECT_TRUE(fs::is_empty(outside()));

    // A file where a folder is expected, and names that are not one component.
    writeFile(dest() / "plain", "p");
    EXPECT_FALSE(write({"plain", "a.txt"}, "x", ec));
    EXPECT_EQ(ec, std::errc::not_a_directory);
    EXPECT_FALSE(write({"..", "a.txt"}, "x", ec));
    EXPECT_FALSE(write({"a/../../b"}, "x", ec));
    EXPECT_TRUE(fs::is_empty(outside()));
}

}  // namespace

// The folder reached last is kept open for the next file; a folder moved away
// afterwards and replaced by a link out still never leads a write outside.
TEST_F(SafeDestinationTest, TheFolderKeptOpenNeverLeadsOutside) {
    std::error_code ec;
    ASSERT_TRUE(write({"top", "sub", "1.txt"}, "1", ec)) << ec.message();
    ASSERT_TRUE(write({"top", "sub", "deeper", "2.txt"}, "2", ec)) << ec.message();
    ASSERT_TRUE(write({"top", "3.txt"}, "3", ec)) << ec.message();
    EXPECT_EQ(readFile(dest() / "top" / "sub" / "deeper" / "2.txt"), "2");
    fs::rename(dest() / "top", dir() / "moved");
    fs::create_directory_symlink(outside(), dest() / "top");
    write({"top", "4.txt"}, "4", ec);
    write({"top", "sub", "5.txt"}, "5", ec);
    EXPECT_TRUE(fs::is_empty(outside()));
}
