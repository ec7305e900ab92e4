// The one wildcard match every part uses.
#include <string>

#include "platform/Wildcard.h"
#include "platform/testing/TestSupport.h"

using quarva::platform::wildcardMatchCaseSensitive;
using quarva::platform::wildcardMatchIgnoringCase;
using quarva::testing::expectEvery;

namespace {

TEST(Wildcard, StarsAndQuestionMarks) {
    auto match = [](const std::string& p, const std::string& n) { return wildcardMatchCaseSensitive(p, n); };
    expectEvery(match, true, {{"*", ""}, {"*.txt", "notes.txt"}, {"a?c", "abc"}, {"*a*b*", "xxaxxbxx"}});
    // "*.*" needs a dot; callers that mean "everything" pass "*".
    expectEvery(match, false, {{"*.txt", "notes.txt.bak"}, {"a?c", "ac"}, {"", "a"}, {"*.*", "README"}});
}

TEST(Wildcard, CaseAndSeparatorsOnlyWhenAsked) {
    EXPECT_FALSE(wildcardMatchCaseSensitive("*.TXT", "a.txt"));
    EXPECT_TRUE(wildcardMatchIgnoringCase("*.TXT", "a.txt"));
    EXPECT_FALSE(wildcardMatchCaseSensitive("docs\\*", "docs/a"));
    EXPECT_TRUE(wildcardMatchIgnoringCase("docs\\*", "docs/a"));
    EXPECT_FALSE(wildcardMatchIgnoringCase("docs\\*", "doc/a"));
}

TEST(Wildcard, HostilePatternStaysLinear) {
    // Many stars against a long text that never matches: must end quickly, not explode.
    std::string pattern(200, '*');
    pattern += "b";
    std::string text(20000, 'a');
    EXPECT_FALSE(wildcardMatchCaseSensitive(pattern, text));
    EXPECT_FALSE(wildcardMatchIgnoringCase(pattern, text));
}

}  // namespace
