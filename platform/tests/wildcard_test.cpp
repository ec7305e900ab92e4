// The one wildcard match every part uses.
#include <string>

#include "platform/Wildcard.h"
#include "platform/testing/TestSupport.h"

using quarva::platform::wildcardMatchCaseSensitive;
using quarva::platform::wildcardMatchIgnoringCase;

namespace {

TEST(Wildcard, StarsAndQuestionMarks) {
    EXPECT_TRUE(wildcardMatchCaseSensitive("*", ""));
    EXPECT_TRUE(wildcardMatchCaseSensitive("*.txt", "notes.txt"));
    EXPECT_FALSE(wildcardMatchCaseSensitive("*.txt", "notes.txt.bak"));
    EXPECT_TRUE(wildcardMatchCaseSensitive("a?c", "abc"));
    EXPECT_FALSE(wildcardMatchCaseSensitive("a?c", "ac"));
    EXPECT_TRUE(wildcardMatchCaseSensitive("*a*b*", "xxaxxbxx"));
    EXPECT_FALSE(wildcardMatchCaseSensitive("", "a"));
    // "*.*" needs a dot; callers that mean "everything" pass "*".
    EXPECT_FALSE(wildcardMatchCaseSensitive("*.*", "README"));
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
}

}  // namespace
