// The one wildcard match every part uses.
#include <string>

#include "platform/Wildcard.h"
#include "platform/testing/TestSupport.h"

using quarva::platform::MatchCase;
using quarva::platform::wildcardMatch;

namespace {

TEST(Wildcard, StarsAndQuestionMarks) {
    EXPECT_TRUE(wildcardMatch("*", ""));
    EXPECT_TRUE(wildcardMatch("*.txt", "notes.txt"));
    EXPECT_FALSE(wildcardMatch("*.txt", "notes.txt.bak"));
    EXPECT_TRUE(wildcardMatch("a?c", "abc"));
    EXPECT_FALSE(wildcardMatch("a?c", "ac"));
    EXPECT_TRUE(wildcardMatch("*a*b*", "xxaxxbxx"));
    EXPECT_FALSE(wildcardMatch("", "a"));
    // "*.*" needs a dot; callers that mean "everything" pass "*".
    EXPECT_FALSE(wildcardMatch("*.*", "README"));
}

TEST(Wildcard, CaseAndSeparatorsOnlyWhenAsked) {
    EXPECT_FALSE(wildcardMatch("*.TXT", "a.txt"));
    EXPECT_TRUE(wildcardMatch("*.TXT", "a.txt", {MatchCase::Insensitive}));
    EXPECT_FALSE(wildcardMatch("docs\\*", "docs/a"));
    EXPECT_TRUE(wildcardMatch("docs\\*", "docs/a", {MatchCase::Sensitive, true}));
}

TEST(Wildcard, HostilePatternStaysLinear) {
    // Many stars against a long text that never matches: must end quickly, not explode.
    std::string pattern(200, '*');
    pattern += "b";
    std::string text(20000, 'a');
    EXPECT_FALSE(wildcardMatch(pattern, text));
}

}  // namespace
