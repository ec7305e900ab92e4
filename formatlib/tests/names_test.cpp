// File lists, wildcards and the one safe-path check.

#include <gtest/gtest.h>

#include "formatlib/core/Names.h"
#include "platform/testing/TestSupport.h"

namespace quarva::formatlib {
namespace {

using quarva::testing::expectEvery;

TEST(NamesTest, SplitsQuotedListsJoinedByBars) {
    EXPECT_EQ(splitFileList("\"a.txt\"|\"docs\\b c.txt\""), (std::vector<std::string>{"a.txt", "docs\\b c.txt"}));
    EXPECT_EQ(splitFileList("*.*"), (std::vector<std::string>{"*.*"}));
    EXPECT_EQ(splitFileList("\"a|b\"|c"), (std::vector<std::string>{"a|b", "c"}));
    EXPECT_TRUE(splitFileList("").empty());
}

TEST(NamesTest, WildcardsMatchAnyRunAndOneCharacter) {
    auto match = [](const std::string& p, const std::string& n) { return wildcardMatch(p, n); };
    expectEvery(match, true, {{"*.txt", "a.txt"}, {"*.TXT", "docs\\a.txt"}, {"a?c", "abc"}, {"docs\\*", "docs/x/y"}});
    expectEvery(match, false, {{"a?c", "abbc"}, {"*.txt", "c.doc"}});
}

TEST(NamesTest, SelectionByNameFilePartOrFolder) {
    auto in = [](std::vector<std::string> patterns) {
        return [patterns](const std::string& name) { return selected(patterns, name); };
    };
    expectEvery(in({"*.txt"}), true, {"a.txt", "docs/b.txt"});
    expectEvery(in({"*.txt"}), false, {"c.doc"});
    expectEvery(in({"docs"}), true, {"docs/deep/c.bin"});
    expectEvery(in({"docs"}), false, {"docsx/c.bin"});
    expectEvery(in({"docs\\"}), true, {"docs", "docs/b.txt"});
    expectEvery(in({"docs\\"}), false, {"docsx"});
    expectEvery(in({"docs\\b.txt"}), true, {"docs/b.txt"});
    expectEvery(in({}), true, {"anything"});
    expectEvery(in({"*.*"}), true, {"noext"});
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
    auto inside = [](const std::string& target) { return linkTargetInside(target); };
    expectEvery(inside, false, {"../b.txt", "../../b.txt", "/etc/passwd", "C:\\x", "x/../../y", ""});
}

TEST(NamesTest, HostNamesUseBackslashes) {
    EXPECT_EQ(toHostEntryName("docs/deep/c.bin"), "docs\\deep\\c.bin");
    EXPECT_EQ(toSlashes("docs\\b.txt"), "docs/b.txt");
    EXPECT_EQ(extensionOf("dir.v2/Archive.TAR"), "tar");
    EXPECT_EQ(extensionOf("noext"), "");
}

}  // namespace
}  // namespace quarva::formatlib
