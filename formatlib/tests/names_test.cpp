// File lists, wildcards and the one safe-path check.

#include <gtest/gtest.h>

#include "formatlib/core/Names.h"

namespace quarva::formatlib {
namespace {

TEST(NamesTest, SplitsQuotedListsJoinedByBars) {
    EXPECT_EQ(splitFileList("\"a.txt\"|\"docs\\b c.txt\""), (std::vector<std::string>{"a.txt", "docs\\b c.txt"}));
    EXPECT_EQ(splitFileList("*.*"), (std::vector<std::string>{"*.*"}));
    EXPECT_EQ(splitFileList("\"a|b\"|c"), (std::vector<std::string>{"a|b", "c"}));
    EXPECT_TRUE(splitFileList("").empty());
}

TEST(NamesTest, WildcardsMatchAnyRunAndOneCharacter) {
    EXPECT_TRUE(wildcardMatch("*.txt", "a.txt"));
    EXPECT_TRUE(wildcardMatch("*.TXT", "docs\\a.txt"));
    EXPECT_TRUE(wildcardMatch("a?c", "abc"));
    EXPECT_FALSE(wildcardMatch("a?c", "abbc"));
    EXPECT_FALSE(wildcardMatch("*.txt", "c.doc"));
    EXPECT_TRUE(wildcardMatch("docs\\*", "docs/x/y"));
}

TEST(NamesTest, SelectionByNameFilePartOrFolder) {
    const std::vector<std::string> txt = {"*.txt"};
    EXPECT_TRUE(selected(txt, "a.txt"));
    EXPECT_TRUE(selected(txt, "docs/b.txt"));
    EXPECT_FALSE(selected(txt, "c.doc"));
    EXPECT_TRUE(selected({"docs"}, "docs/deep/c.bin"));
    EXPECT_FALSE(selected({"docs"}, "docsx/c.bin"));
    EXPECT_TRUE(selected({"docs\\"}, "docs"));
    EXPECT_TRUE(selected({"docs\\"}, "docs/b.txt"));
    EXPECT_FALSE(selected({"docs\\"}, "docsx"));
    EXPECT_TRUE(selected({"docs\\b.txt"}, "docs/b.txt"));
    EXPECT_TRUE(selected({}, "anything"));
    EXPECT_TRUE(selected({"*.*"}, "noext"));
}

TEST(NamesTest, SafePathsRefuseEveryWayOut) {
    struct Case {
        const char* name;
        const char* expect;  // nullptr: refused
    } cases[] = {
        {"a/b.txt", "a/b.txt"}, {"./a//b.txt", "a/b.txt"},   {"a\\b.txt", "a/b.txt"},   {"../x", nullptr},
        {"a/../../x", nullptr}, {"a/../b", nullptr},         {"/etc/passwd", nullptr},  {"\\etc\\passwd", nullptr},
        {"C:/x", nullptr},      {"c:\\windows\\x", nullptr}, {"a\\..\\..\\x", nullptr}, {"", nullptr},
        {".", nullptr},         {"a/\x01b", nullptr},        {"dir/C:x", nullptr},      {"..a/b", "..a/b"},
    };
    for (const auto& c : cases) {
        std::string why;
        const auto got = safeRelativePath(c.name, &why);
        if (c.expect) {
            ASSERT_TRUE(got.has_value()) << c.name;
            EXPECT_EQ(*got, c.expect);
        } else {
            EXPECT_FALSE(got.has_value()) << c.name;
            EXPECT_FALSE(why.empty());
        }
    }
}

TEST(NamesTest, LinksMustStayInsideTheFolder) {
    EXPECT_TRUE(linkTargetInside("b.txt"));
    // A link may not climb at all, even when it would stay inside: chains of such
    // links could otherwise lead out of the folder, whatever order they are made in.
    EXPECT_FALSE(linkTargetInside("../b.txt"));
    EXPECT_FALSE(linkTargetInside("../../b.txt"));
    EXPECT_FALSE(linkTargetInside("/etc/passwd"));
    EXPECT_FALSE(linkTargetInside("C:\\x"));
    EXPECT_FALSE(linkTargetInside("x/../../y"));
    EXPECT_FALSE(linkTargetInside(""));
}

TEST(NamesTest, HostNamesUseBackslashes) {
    EXPECT_EQ(toHostEntryName("docs/deep/c.bin"), "docs\\deep\\c.bin");
    EXPECT_EQ(toSlashes("docs\\b.txt"), "docs/b.txt");
    EXPECT_EQ(extensionOf("dir.v2/Archive.TAR"), "tar");
    EXPECT_EQ(extensionOf("noext"), "");
}

}  // namespace
}  // namespace quarva::formatlib
