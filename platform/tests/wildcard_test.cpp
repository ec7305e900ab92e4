// The one wildcard match every part uses.
#include <string>

#include "platform/Wildcard.h"
#include "platform/testing/TestSupport.h"

using quarva::platform::MatchCase;
using quarva::platform::wildcardMatch;
using quarva::testing::expectEvery;

namespace {

TEST(Wildcard, StarsAndQuestionMarks) {
    auto match = [](const std::string& p, const std::string& n) { return wildcardMatch(p, n); };
    expectEvery(match, true, {{"*", ""}, {"*.txt", "notes.txt"}, {"a?c", "abc"}, {"*a*b*", "xxaxxbxx"}});
    // "*.*" needs a dot; callers that mean "everything" pass "*".
    expectEvery(match, false, {{"*.txt", "notes.txt.bak"}, {"a?c", "ac"}, {"", "a"}, {"*.*", "README"}});
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
