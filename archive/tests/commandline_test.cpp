// Command-line parsing: at most one switch and one path, nothing more.
#include "archive/core/CommandLine.h"
#include "platform/testing/TestSupport.h"

using quarva::archive::CCommandLine;

namespace {

CCommandLine parsed(std::vector<std::string> params) {
    CCommandLine c;
    EXPECT_TRUE(c.parse(params));
    return c;
}

TEST(CommandLine, SwitchAndPath) {
    auto c = parsed({"/noadddialog", "/tmp/list dir/~QuarvaZip.tmp"});
    EXPECT_EQ(c.switchName(), "noadddialog");
    EXPECT_EQ(c.argument(), "/tmp/list dir/~QuarvaZip.tmp");
}

// A second switch or path is refused as a whole: a path holding quotes such as
// `q" -noextractdialog "/tmp/drop/L/a.zip` must not turn into a switch of its own.
TEST(CommandLine, MoreThanOneSwitchAndOnePathIsRefused) {
    for (const std::vector<std::string>& params : {std::vector<std::string>{"/open", "a.zip", "-extract", "b.zip"},
                                                   {"/extract", "/tmp/drop/q", "-noextractdialog", "/tmp/drop/L/a.zip"},
                                                   {"a.zip", "b.zip"},
                                                   {"a.zip", "/open"},
                                                   {"/open", "a.zip", "b.zip"}}) {
        CCommandLine c;
        EXPECT_FALSE(c.parse(params)) << params.size();
        EXPECT_EQ(c.switchName(), "");
        EXPECT_EQ(c.argument(), "");
    }
}

// The word after the switch is the path, whatever it looks like.
TEST(CommandLine, WordAfterTheSwitchIsThePath) {
    auto c = parsed({"/extract", "-noextractdialog"});
    EXPECT_EQ(c.switchName(), "extract");
    EXPECT_EQ(c.argument(), "-noextractdialog");
    const std::string quoted = "/tmp/drop/q\" -noextractdialog \"/tmp/drop/L/a.zip";
    c = parsed({"/extract", quoted});
    EXPECT_EQ(c.switchName(), "extract");
    EXPECT_EQ(c.argument(), quoted);
}

TEST(CommandLine, SwitchKeepsItsCase) {
    EXPECT_EQ(parsed({"/Open"}).switchName(), "Open");
    EXPECT_EQ(parsed({"-SFX", "x.zip"}).switchName(), "SFX");
}

TEST(CommandLine, NothingGivenLeavesBothEmpty) {
    auto c = parsed({});
    EXPECT_EQ(c.switchName(), "");
    EXPECT_EQ(c.argument(), "");
}

TEST(CommandLine, AbsoluteLinuxPathsAreNotSwitches) {
    EXPECT_EQ(parsed({"/home/user/a.zip"}).argument(), "/home/user/a.zip");
    EXPECT_EQ(parsed({"/home/user/a.zip"}).switchName(), "");
    // A single-level path counts as a path when it exists.
    EXPECT_EQ(parsed({"/tmp"}).argument(), "/tmp");
    EXPECT_EQ(parsed({"/new"}).switchName(), "new");
}

}  // namespace
