// The desktop shortcut and the favourites: link files in a test home's desktop
// folder and the GTK bookmarks file of a test configuration folder.
#include <cstdlib>
#include <fstream>

#include "archive/tests/ArchiveTestDoubles.h"
#include "archive/utilities/Shortcuts.h"

using namespace quarva::archive;
using namespace quarva::archive::testing;
using quarva::testing::readFile;
using quarva::testing::ScopedEnv;
using quarva::testing::writeFile;

namespace {

class ShortcutsTest : public PromptsTest {
protected:
    void SetUp() override {
        PromptsTest::SetUp();
        home = std::make_unique<ScopedEnv>("HOME", (dir() / "home").string());
        config = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", (dir() / "config").string());
    }
    std::unique_ptr<ScopedEnv> home, config;
};

TEST(ShortcutNames, NameStemAndUri) {
    EXPECT_EQ(shortcutName("/data/a.b.zip"), "a.b");
    EXPECT_EQ(shortcutName("/data/x.zip.zip"), "x");
    EXPECT_EQ(shortcutName("/data/noext"), "noext");
    EXPECT_EQ(shortcutName("/a.b/file"), "file");  // the folder's dot is no extension of the name
    EXPECT_EQ(shortcutName("/d/back\\slash.zip"), "back\\slash");

    EXPECT_EQ(linkFileStem("-rf\r\nx"), "_rf__x");
    EXPECT_EQ(linkFileStem(".hidden"), "_hidden");
    std::string wide;
    for (int i = 0; i < 150; ++i) wide += "\xC3\xA9";  // 300 bytes of two-byte characters
    const std::string stem = linkFileStem(wide);
    EXPECT_LE(stem.size() + std::string(" (99).desktop").size(), 255u);
    EXPECT_EQ(stem.size() % 2, 0u);  // not cut inside a character

    EXPECT_EQ(fileUri("/a b/%\xC3\xBC#?"), "file:///a%20b/%25%C3%BC%23%3F");
}

TEST_F(ShortcutsTest, DesktopShortcutGoesToTheUsersDesktopAndNeverOverwrites) {
    writeFile(dir() / "config" / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    const fs::path desktop = dir() / "home" / "Schreibtisch";
    fs::path link = createDesktopShortcut("/data/a.b.zip", prompts);
    EXPECT_EQ(link, desktop / "a.b.desktop");
    EXPECT_EQ(readFile(link),
              "[Desktop Entry]\nVersion=1.0\nType=Link\nName=a.b\nComment=Shortcut to "
              "/data/a.b.zip\nURL=file:///data/a.b.zip\n");
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0],
              (MessageBoxRequest{"Shortcut created successfully", "Quarva.Zip Suite", Buttons::Ok, Icon::None, 0}));

    // The same name again gets a number; the first link stays as it was.
    EXPECT_EQ(createDesktopShortcut("/other/a.b.zip", prompts), desktop / "a.b (2).desktop");
    EXPECT_NE(readFile(desktop / "a.b.desktop").find("/data/a.b.zip"), std::string::npos);

    // Line ends and a leading "-" cannot add lines to the entry or make an option of the file.
    link = createDesktopShortcut("/d/-evil\nName=x\xFF.zip", prompts);
    EXPECT_EQ(link, desktop / "_evil_Name=x\xFF.desktop");
    const std::string entry = readFile(link);
    EXPECT_NE(entry.find("\nName=-evil\\nName=x?\n"), std::string::npos) << entry;
    EXPECT_EQ(entry.find("\nName=x"), std::string::npos);
    EXPECT_NE(entry.find("URL=file:///d/-evil%0AName%3Dx%FF.zip"), std::string::npos);
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
        std::string command = "desktop-file-validate '" + (desktop / "a.b.desktop").string() + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
}

TEST_F(ShortcutsTest, ShortcutFailuresAreSaid) {
    createShellLink("relative.zip", dir() / "desk", "relative", "Shortcut to relative.zip", prompts);
    writeFile(dir() / "file", "x");
    createShellLink("/a.zip", dir() / "file" / "desk", "a", "Shortcut to /a.zip", prompts);
    ASSERT_EQ(prompts.boxes().size(), 2u);
    EXPECT_EQ(prompts.boxes()[0].text, "SetPath failed!");
    EXPECT_EQ(prompts.boxes()[1],
              (MessageBoxRequest{"Create Shortcut failed!", "Quarva.Zip Suite", Buttons::Ok, Icon::None, 0}));
    EXPECT_FALSE(fs::exists(dir() / "desk"));

    // A full desktop volume: the message, and no empty or partial link left behind.
    quarva::testing::SmallVolume full(dir() / "full", "64k");
    if (!full.mounted()) GTEST_SKIP() << full.problem();
    {
        std::ofstream fill(full.path() / "fill", std::ios::binary);
        const std::string block(4096, 'x');
        while (fill.write(block.data(), block.size()) && fill.flush()) {}
    }
    createShellLink("/a.zip", full.path(), "a", "Shortcut to /a.zip", prompts);
    EXPECT_EQ(prompts.boxes().back().text, "Create Shortcut failed!");
    EXPECT_FALSE(fs::exists(full.path() / "a.desktop"));
}

TEST_F(ShortcutsTest, FavouritesBookmarkTheArchivesFolderUnderTheChosenTitle) {
    const fs::path bookmarks = dir() / "config" / "gtk-3.0" / "bookmarks";
    EXPECT_EQ(gtkBookmarksFile(), bookmarks);
    writeFile(bookmarks, "file:///home/me/Music Music\nfile:///data/my%20folder Old title\nsftp://host/x\n");

    prompts.queueText(std::nullopt);  // cancelled: nothing written, nothing said
    EXPECT_FALSE(addToFavourites("/data/my folder/a.zip", prompts));
    EXPECT_TRUE(prompts.boxes().empty());

    prompts.queueText("My\r\nTitle");
    EXPECT_TRUE(addToFavourites("/data/my folder/a.zip", prompts));
    ASSERT_EQ(prompts.texts().size(), 2u);
    EXPECT_EQ(prompts.texts()[1].text, "Name:");
    EXPECT_EQ(prompts.texts()[1].caption, "Add to Favorites");
    EXPECT_EQ(prompts.texts()[1].initial, "a.zip");
    EXPECT_EQ(readFile(bookmarks), "file:///home/me/Music Music\nsftp://host/x\nfile:///data/my%20folder My  Title\n");
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text, "Shortcut created successfully");

    // Without a bookmarks file (and its folder) yet.
    fs::remove_all(dir() / "config");
    std::error_code ec;
    EXPECT_TRUE(addBookmark(bookmarks, "/x", "", ec));
    EXPECT_EQ(readFile(bookmarks), "file:///x\n");
}

}  // namespace
