// Command-line splitting and starting programs.

#include "platform/Launcher.h"
#include "platform/testing/TestSupport.h"

#include <chrono>
#include <thread>

namespace fs = std::filesystem;
using namespace quarva::platform;

namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, QuotesGroupWordsAndAreRemoved) {
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

TEST(RenderCommandLine, QuotesOnlyWordsThatNeedIt) {
    EXPECT_EQ(renderCommandLine({"/opt/q/QuarvaZip", "/add", "/tmp/a b.txt"}),
              "/opt/q/QuarvaZip /add \"/tmp/a b.txt\"");
    EXPECT_EQ(renderCommandLine({"prog", "", "x\ty"}), "prog \"\" \"x\ty\"");
    EXPECT_EQ(renderCommandLine({}), "");
}

TEST(RunAndWait, ReportsTheExitStatus) {
    EXPECT_EQ(runAndWait({"true"}), 0);
    EXPECT_EQ(runAndWait({"false"}), 1);
    EXPECT_EQ(runAndWait({"sh", "-c", "exit 3"}), 3);
    EXPECT_EQ(runAndWait({"/no/such/program-quarva"}), -1);
    EXPECT_EQ(runAndWait({}), -1);
    EXPECT_EQ(runAndWait({""}), -1);
}

class LauncherTest : public quarva::testing::FolderTest {};

// Every word arrives as it was given: blanks, quotes, a leading '-', line breaks and
// bytes that are not UTF-8 neither split a word nor add one.
TEST_F(LauncherTest, EveryWordArrivesExactlyAsGiven) {
    fs::path script = dir() / "print args.sh";
    quarva::testing::writeFile(script,
                               "for a in \"$@\"; do printf '%s|' \"$a\"; done > \"$(dirname \"$0\")/out file.txt\"\n");
    const Words words = {"a b", "", "q\" --bcc \"x@evil.example", "-noextractdialog", "line\nbreak", "\xff\xfe"};
    Words argv = {"sh", script.string()};
    argv.insert(argv.end(), words.begin(), words.end());
    ASSERT_EQ(runAndWait(argv), 0);
    std::string expected;
    for (const auto& w : words) expected += w + "|";
    EXPECT_EQ(quarva::testing::readFile(dir() / "out file.txt"), expected);
}

TEST_F(LauncherTest, LaunchReturnsAtOnceAndTheProgramRuns) {
    fs::path marker = dir() / "started \"marker\"";
    ProcessLauncher launcher;
    ASSERT_TRUE(launcher.launch({"touch", marker.string()}, false));
    for (int i = 0; i < 500 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_FALSE(launcher.launch({"/no/such/program-quarva"}, true));
    EXPECT_FALSE(launcher.launch({}, true));
}

}  // namespace
