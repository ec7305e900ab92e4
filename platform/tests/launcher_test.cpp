// Command-line splitting and starting programs.

#include "platform/Launcher.h"
#include "platform/testing/TestSupport.h"

#include <chrono>
#include <thread>

namespace fs = std::filesystem;
using namespace quarva::platform;

namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, QuotesGroupWordsAndAreRemoved)
{
    struct Case {
        const char* line;
        Words words;
    };
    const Case cases[] = {
        {"\"C:\\a b\\QuarvaZip\" /noadddialog \"x y\"", {"C:\\a b\\QuarvaZip", "/noadddialog", "x y"}},
        {"prog \"\" last", {"prog", "", "last"}},
        {"\"\"", {""}},
        {"prog  a\t b ", {"prog", "a", "b"}},
        {"", {}},
        {"   ", {}},
        {"a\"b c\"d", {"ab cd"}},
        {"prog \"/tmp/~QuarvaZip.tmp\"", {"prog", "/tmp/~QuarvaZip.tmp"}},
        {"prog \"unclosed quote here", {"prog", "unclosed quote here"}},
        {"QuarvaSplit \"/home/u/my archive.zip\"", {"QuarvaSplit", "/home/u/my archive.zip"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.words) << "line: " << c.line;
}

TEST(RunAndWait, ReportsTheExitStatus)
{
    EXPECT_EQ(runAndWait("true"), 0);
    EXPECT_EQ(runAndWait("false"), 1);
    EXPECT_EQ(runAndWait("sh -c \"exit 3\""), 3);
    EXPECT_EQ(runAndWait("/no/such/program-quarva"), -1);
    EXPECT_EQ(runAndWait(""), -1);
}

class LauncherTest : public quarva::testing::FolderTest {};

TEST_F(LauncherTest, ArgumentsWithBlanksArriveAsOneWord)
{
    fs::path out = dir() / "out file.txt";
    fs::path script = dir() / "print args.sh";
    quarva::testing::writeFile(script, "printf '%s|' \"$@\" > \"$(dirname \"$0\")/out file.txt\"\n");
    ASSERT_EQ(runAndWait("sh \"" + script.string() + "\" \"a b\" c \"\""), 0);
    EXPECT_EQ(quarva::testing::readFile(out), "a b|c||");
}

TEST_F(LauncherTest, LaunchReturnsAtOnceAndTheProgramRuns)
{
    fs::path marker = dir() / "started marker";
    ProcessLauncher launcher;
    ASSERT_TRUE(launcher.launch("touch \"" + marker.string() + "\"", false));
    for (int i = 0; i < 500 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_FALSE(launcher.launch("/no/such/program-quarva", true));
    EXPECT_FALSE(launcher.launch("", true));
}

}  // namespace
