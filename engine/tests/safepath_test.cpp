#include "engine/NameList.h"
#include "engine/SafePath.h"

#include <platform/testing/TestSupport.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using namespace quarva::engine;
using quarva::testing::expectEvery;
using quarva::testing::FolderTest;

TEST(SafePath, KeepsOrdinaryNames) {
    std::vector<std::string> c;
    ASSERT_TRUE(safeComponents("a/b\\c.txt", true, c));
    EXPECT_EQ(c, (std::vector<std::string>{"a", "b", "c.txt"}));
    ASSERT_TRUE(safeComponents("./a//b/", true, c));
    EXPECT_EQ(c, (std::vector<std::string>{"a", "b"}));
    ASSERT_TRUE(safeComponents("a/b/c.txt", false, c));
    EXPECT_EQ(c, (std::vector<std::string>{"c.txt"}));
    ASSERT_TRUE(safeComponents("..a/b..", true, c));  // dots inside a name are fine
}

TEST(SafePath, RefusesEscapes) {
    std::vector<std::string> c;
    for (const char* bad : {"../x", "a/../../x", "..\\x", "a\\..\\..\\x", "/etc/passwd", "\\x", "//server/share/x",
                            "C:\\x", "c:x", "a/C:/x", "", "..", "a/..", "x\x01y"})
        EXPECT_FALSE(safeComponents(bad, true, c)) << bad;
    // Without paths the folder part is dropped, but ".." still refuses the name.
    EXPECT_FALSE(safeComponents("../x", false, c));
}

TEST(SafePath, LinkTargets) {
    auto inside = [](const std::string& target) { return linkTargetInside(target); };
    expectEvery(inside, true, {"b/c", "x.txt"});
    expectEvery(inside, false, {"../b", "/etc", "C:\\x", ""});
    // Resolved from the link's own folder.
    EXPECT_TRUE(linkTargetInside("dir2/symlink1", "../file1"));
    EXPECT_FALSE(linkTargetInside("symlink1", "../file1"));
}

TEST(Wildcard, Matches) {
    auto match = [](const std::string& p, const std::string& n) { return wildcardMatch(p, n); };
    expectEvery(match, true, {{"*.txt", "a.TXT"}, {"*", ""}, {"a?c", "abc"}, {"*\\x.txt", "dir/sub/x.txt"}});
    expectEvery(match, true, {{"*a*b*c", "xxaxxbxxc"}});
    expectEvery(match, false, {{"a?c", "ac"}, {"*a*b*c", "xxaxxcxxb"}});
}

TEST(NameList, LinesAndFilters) {
    auto matcher = [](const char* lines) {
        return [list = std::make_shared<NameList>(lines)](const std::string& name) { return list->matches(name); };
    };
    expectEvery(matcher(""), true, {"anything"});
    expectEvery(matcher("docs\\a.txt\r\n"), true, {"docs/a.txt", "DOCS\\A.TXT"});
    expectEvery(matcher("docs\\a.txt\r\n"), false, {"docs/b.txt"});
    expectEvery(matcher("docs\r\n"), true, {"docs/sub/x.bin"});
    expectEvery(matcher("docs\r\n"), false, {"docsx/y"});
    expectEvery(matcher("*\r\n>*.txt\r\n>*.doc\r\n"), true, {"a/b/c.txt", "x.doc"});
    expectEvery(matcher("*\r\n>*.txt\r\n>*.doc\r\n"), false, {"x.pdf"});
    // Find-in-zip's shape: the pattern at the root and in any folder.
    expectEvery(matcher("*.c\r\n*\\*.c\r\n"), true, {"main.c", "src/x/main.c"});
    // Two groups: the filters belong to the lines before them only.
    expectEvery(matcher("src\r\n>*.c\r\ndocs\r\n"), true, {"src/a.c", "docs/a.h"});
    expectEvery(matcher("src\r\n>*.c\r\ndocs\r\n"), false, {"src/a.h"});
}
