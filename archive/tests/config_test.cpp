// Settings block, window placement and recent-file list against a real registry
// store in a temp folder.
#include "archive/core/Configuration.h"
#include "archive/core/RecentFileList.h"
#include "platform/testing/TestSupport.h"

using namespace quarva::archive;
using quarva::platform::Hive;

namespace {

class ConfigTest : public quarva::testing::FolderTest {
protected:
    SettingsStore store() { return SettingsStore::fromEnvironment(); }
    void putNumber(const std::string& section, const std::string& name, std::uint32_t v) {
        store().writeNumber(suiteKey(section), name, v);
    }
};

TEST_F(ConfigTest, MissingSuiteKeyGivesDefaultsAndTempFolders) {
    CConfiguration c;
    c.load(store(), "/cwd", "/sys/tmp");
    EXPECT_EQ(c.viewBits, 6447u);
    EXPECT_EQ(c.folderBits, 146u);
    EXPECT_EQ(c.systemBits, 1023u);
    EXPECT_EQ(c.tempFolder, "/sys/tmp");
    EXPECT_EQ(c.workingFolder, "/sys/tmp");
    EXPECT_EQ(c.startupFolder, "");
    // The default view bits start the window in the flat view.
    EXPECT_TRUE(c.startsInFlatView());
}

TEST_F(ConfigTest, ZeroNumbersCountAsMissing) {
    putNumber("Settings", "Config View Settings", 0);
    putNumber("Settings", "Config Folder Settings", 0);
    putNumber("Settings", "Config System Settings", 0x10);
    CConfiguration c;
    c.load(store(), "/cwd", "/t");
    EXPECT_EQ(c.viewBits, 6447u);
    EXPECT_EQ(c.folderBits, 146u);
    EXPECT_EQ(c.systemBits, 0x10u);
    CConfiguration columnsOnly;
    columnsOnly.viewBits = 0x3F;
    EXPECT_FALSE(columnsOnly.startsInFlatView());
}

TEST_F(ConfigTest, NumberLongerThanFourBytesReadsAsZero) {
    std::vector<std::uint8_t> eight(8, 1);
    store().registry().writeBinary(Hive::CurrentUser, suiteKey("Settings"), "Config View Settings", eight);
    CConfiguration c;
    c.load(store(), "", "/t");
    EXPECT_EQ(c.viewBits, 6447u);
}

TEST_F(ConfigTest, StringsBeyondNinetyNineCharactersReadEmpty) {
    auto s = store();
    s.writeString(suiteKey("Settings"), "Temp Folder", std::string(99, 'a'));
    s.writeString(suiteKey("Settings"), "Working Folder", std::string(100, 'b'));
    CConfiguration c;
    c.load(s, "", "/t");
    EXPECT_EQ(c.tempFolder, std::string(99, 'a'));
    EXPECT_EQ(c.workingFolder, "/t");
}

TEST_F(ConfigTest, StartupFolderFromCurrentDirectoryWhenBitSet) {
    auto s = store();
    s.writeString(suiteKey("Folder Settings"), "Startup Folder", "/stored");
    putNumber("Settings", "Config Folder Settings", 0x01);
    CConfiguration c;
    c.load(s, "/cwd", "/t");
    EXPECT_EQ(c.startupFolder, "/cwd");
    putNumber("Settings", "Config Folder Settings", 0x02);
    c.load(s, "/cwd", "/t");
    EXPECT_EQ(c.startupFolder, "/stored");
}

TEST_F(ConfigTest, SaveWritesEveryValueAndLoadsBack) {
    CConfiguration c;
    c.viewBits = 0x3F;
    c.folderBits = 0x52;
    c.systemBits = 0x70;
    c.startupFolder = "/s";
    c.extractionFolder = "/e";
    c.addFolder = "/a";
    c.tempFolder = "/tmp/x";
    c.workingFolder = "/w";
    auto s = store();
    c.save(s);
    CConfiguration back;
    back.load(s, "", "/t");
    EXPECT_EQ(back.viewBits, 0x3Fu);
    EXPECT_EQ(back.folderBits, 0x52u);
    EXPECT_EQ(back.systemBits, 0x70u);
    EXPECT_EQ(back.startupFolder, "/s");
    EXPECT_EQ(back.extractionFolder, "/e");
    EXPECT_EQ(back.addFolder, "/a");
    EXPECT_EQ(back.tempFolder, "/tmp/x");
    EXPECT_EQ(back.workingFolder, "/w");
    EXPECT_EQ(s.readString(suiteKey("Folder Settings"), "Extract Folder"), "/e");
}

TEST_F(ConfigTest, PlacementDefaultsAndShowMapping) {
    auto p = WindowPlacement::load(store());
    EXPECT_EQ(p.width, 500);
    EXPECT_EQ(p.height, 400);
    EXPECT_EQ(p.show, ShowState::Show);

    putNumber("Quarva Zip", "width", static_cast<std::uint32_t>(-20));
    putNumber("Quarva Zip", "height", 0);
    putNumber("Quarva Zip", "xPos", 30);
    putNumber("Quarva Zip", "Show", 3);
    p = WindowPlacement::load(store());
    EXPECT_EQ(p.width, 500);
    EXPECT_EQ(p.height, 400);
    EXPECT_EQ(p.x, 30);
    EXPECT_EQ(p.show, ShowState::Maximized);

    for (auto [state, saved] : {std::pair{1, 5}, {6, 5}, {0, 5}, {3, 3}, {2, 2}, {5, 5}}) {
        WindowPlacement w;
        w.show = static_cast<ShowState>(state);
        auto s = store();
        w.save(s);
        EXPECT_EQ(s.readNumber(suiteKey("Quarva Zip"), "Show"), static_cast<std::uint32_t>(saved)) << state;
    }
}

TEST_F(ConfigTest, PlacementRoundTrip) {
    WindowPlacement w{.x = 10, .y = 20, .width = 640, .height = 480, .treeShown = false, .show = ShowState::Minimized};
    auto s = store();
    w.save(s);
    auto back = WindowPlacement::load(s);
    EXPECT_EQ(back.x, 10);
    EXPECT_EQ(back.y, 20);
    EXPECT_EQ(back.width, 640);
    EXPECT_EQ(back.height, 480);
    EXPECT_FALSE(back.treeShown);
    EXPECT_EQ(back.show, ShowState::Minimized);
}

TEST_F(ConfigTest, RecentListMovesReopenedArchiveToTop) {
    auto s = store();
    for (int i = 1; i <= 4; ++i)
        s.writeString(kRecentFileListKey, "file" + std::to_string(i), "/a/" + std::to_string(i) + ".zip");
    CRecentFileList list;
    list.load(s);
    ASSERT_EQ(list.entries().size(), 4u);
    list.add("/a/3.zip", s);
    auto& r = s.registry();
    auto read = [&](const char* name) {
        return r.readString(Hive::CurrentUser, kRecentFileListKey, name).value_or("-");
    };
    EXPECT_EQ(read("file1"), "/a/3.zip");
    EXPECT_EQ(read("File2"), "/a/1.zip");
    EXPECT_EQ(read("file3"), "/a/2.zip");
    EXPECT_EQ(read("file4"), "/a/4.zip");

    list.add("/a/new.zip", s);
    EXPECT_EQ(read("file1"), "/a/new.zip");
    EXPECT_EQ(read("file4"), "/a/2.zip");  // "/a/4.zip" dropped off

    list.remove("/a/1.zip", s);
    EXPECT_EQ(list.entries().size(), 3u);
    EXPECT_EQ(read("file4"), "-");
}

TEST(RecentPaths, TouchMovesToEndWithoutDuplicates) {
    std::vector<std::string> paths{"a", "b", "c"};
    touchRecentPath(paths, "a");
    EXPECT_EQ(paths, (std::vector<std::string>{"b", "c", "a"}));
    touchRecentPath(paths, "d");
    EXPECT_EQ(paths.back(), "d");
    EXPECT_EQ(paths.size(), 4u);
}

}  // namespace
