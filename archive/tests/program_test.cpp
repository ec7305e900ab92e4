// The QuarvaZip program started as a user would start it, without a display.
#include "platform/testing/TestSupport.h"

#include "archive/core/SettingsStore.h"

namespace fs = std::filesystem;
using namespace quarva::testing;

namespace {

class ProgramTest : public FolderTest {
protected:
    std::string program() const { return (buildDir() / "archive" / "app" / "QuarvaZip").string(); }
    int run(const std::string& args, std::string* out) {
        return runCommand(
            "env -u DISPLAY -u WAYLAND_DISPLAY ASAN_OPTIONS=detect_leaks=0 '" + program() + "' " + args + " </dev/null",
            out);
    }
    // The suite counts as installed in the test's folder.
    void install() {
        auto store = quarva::archive::SettingsStore::fromEnvironment();
        store.writeString(quarva::archive::suiteKey("Settings"), "Installed Path", (dir() / "suite").string());
    }
};

TEST_F(ProgramTest, NotInstalledSaysSoAndEnds) {
    std::string out;
    EXPECT_NE(run("", &out), 0);
    EXPECT_NE(out.find("Quarva.Zip Suite was not properly installed"), std::string::npos) << out;
    // A handed-over list that no action will read does not stay behind.
    const fs::path list = tmpDir() / "~QuarvaZipAbcdef123456.tmp";
    writeFile(list, "/a.zip\r\n/b\r\n");
    EXPECT_NE(run("/noadddialog '" + list.string() + "'", &out), 0);
    EXPECT_FALSE(fs::exists(list));
}

TEST_F(ProgramTest, WindowSwitchWithoutDisplayEndsWithClearMessage) {
    install();
    std::string out;
    EXPECT_NE(run("/open", &out), 0);
    EXPECT_NE(out.find("no display"), std::string::npos) << out;
    EXPECT_NE(out.find("/open"), std::string::npos) << out;
    // The first start still creates the default folders.
    EXPECT_TRUE(fs::is_directory(dir() / "suite" / "Extraction"));
}

// A temporary folder that others could reach stops the program with its reason,
// before it reads a list or writes anything.
TEST_F(ProgramTest, UnusableTemporaryFolderStopsWithItsReason) {
    install();
    fs::permissions(tmpDir(), fs::perms::all, fs::perm_options::add);
    writeFile(dir() / "list.txt", (dir() / "a.zip").string() + "\r\n" + (dir() / "list.txt").string());
    std::string out;
    EXPECT_NE(run("/noadddialog '" + (dir() / "list.txt").string() + "'", &out), 0);
    EXPECT_NE(out.find("temporary folder"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(dir() / "a.zip"));
}

// More than one switch and one path: the program says so and does nothing.
TEST_F(ProgramTest, MoreThanOneSwitchAndOnePathIsRefused) {
    install();
    std::string out;
    EXPECT_NE(run("/extract /tmp/drop/q -noextractdialog /tmp/drop/L/a.zip", &out), 0);
    EXPECT_NE(out.find("one switch and one path"), std::string::npos) << out;
}

}  // namespace
