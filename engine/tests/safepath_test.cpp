#include "engine/NameList.h"
#include "engine/SafePath.h"

#include <platform/testing/TestSupport.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace quarva::engine;
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
    EXPECT_TRUE(linkTargetInside("b/c"));
    EXPECT_TRUE(linkTargetInside("x.txt"));
    EXPECT_FALSE(linkTargetInside("../b"));
    EXPECT_FALSE(linkTargetInside("/etc"));
    EXPECT_FALSE(linkTargetInside("C:\\x"));
    EXPECT_FALSE(linkTargetInside(""));
    // Resolved from the link's own folder.
    EXPECT_TRUE(linkTargetInside("dir2/symlink1", "../file1"));
    EXPECT_FALSE(linkTargetInside("symlink1", "../file1"));
}

TEST(Wildcard, Matches) {
    EXPECT_TRUE(wildcardMatch("*.txt", "a.TXT"));
    EXPECT_TRUE(wildcardMatch("*", ""));
    EXPECT_TRUE(wildcardMatch("a?c", "abc"));
    EXPECT_FALSE(wildcardMatch("a?c", "ac"));
    EXPECT_TRUE(wildcardMatch("*\\x.txt", "dir/sub/x.txt"));
    EXPECT_TRUE(wildcardMatch("*a*b*c", "xxaxxbxxc"));
    EXPECT_FALSE(wildcardMatch("*a*b*c", "xxaxxcxxb"));
}

TEST(NameList, LinesAndFilters) {
    NameList all("");
    EXPECT_TRUE(all.matches("anything"));
    NameList one("docs\\a.txt\r\n");
    EXPECT_TRUE(one.matches("docs/a.txt"));
    EXPECT_TRUE(one.matches("DOCS\\A.TXT"));
    EXPECT_FALSE(one.matches("docs/b.txt"));
    NameList folder("docs\r\n");
    EXPECT_TRUE(folder.matches("docs/sub/x.bin"));
    EXPECT_FALSE(folder.matches("docsx/y"));
    NameList filtered("*\r\n>*.txt\r\n>*.doc\r\n");
    EXPECT_TRUE(filtered.matches("a/b/c.txt"));
    EXPECT_TRUE(filtered.matches("x.doc"));
    EXPECT_FALSE(filtered.matches("x.pdf"));
    // Find-in-zip's shape: the pattern at the root and in any folder.
    NameList find("*.c\r\n*\\*.c\r\n");
    EXPECT_TRUE(find.matches("main.c"));
    EXPECT_TRUE(find.matches("src/x/main.c"));
    // Two groups: the filters belong to the lines before them only.
    NameList two("src\r\n>*.c\r\ndocs\r\n");
    EXPECT_TRUE(two.matches("src/a.c"));
    EXPECT_FALSE(two.matches("src/a.h"));
    EXPECT_TRUE(two.matches("docs/a.h"));
}
