// Command-line parsing: one switch and one path, the last of each wins.
#include "archive/core/CommandLine.h"
#include "platform/testing/TestSupport.h"

using quarva::archive::CCommandLine;

namespace {

CCommandLine parsed(std::vector<std::string> params)
{
    CCommandLine c;
    c.parse(params);
    return c;
}

TEST(CommandLine, SwitchAndPath)
{
    auto c = parsed({"/noadddialog", "/tmp/list dir/~QuarvaZip.tmp"});
    EXPECT_EQ(c.switchName(), "noadddialog");
    EXPECT_EQ(c.argument(), "/tmp/list dir/~QuarvaZip.tmp");
}

TEST(CommandLine, LastSwitchAndLastPathWin)
{
    auto c = parsed({"/open", "a.zip", "-extract", "b.zip"});
    EXPECT_EQ(c.switchName(), "extract");
    EXPECT_EQ(c.argument(), "b.zip");
}

TEST(CommandLine, SwitchKeepsItsCase)
{
    EXPECT_EQ(parsed({"/Open"}).switchName(), "Open");
    EXPECT_EQ(parsed({"-SFX", "x.zip"}).switchName(), "SFX");
}

TEST(CommandLine, NothingGivenLeavesBothEmpty)
{
    auto c = parsed({});
    EXPECT_EQ(c.switchName(), "");
    EXPECT_EQ(c.argument(), "");
}

TEST(CommandLine, AbsoluteLinuxPathsAreNotSwitches)
{
    EXPECT_EQ(parsed({"/home/user/a.zip"}).argument(), "/home/user/a.zip");
    EXPECT_EQ(parsed({"/home/user/a.zip"}).switchName(), "");
    // A single-level path counts as a path when it exists.
    EXPECT_EQ(parsed({"/tmp"}).argument(), "/tmp");
    EXPECT_EQ(parsed({"/new"}).switchName(), "new");
}

}  // namespace
