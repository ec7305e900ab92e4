#include <gtest/gtest.h>

#include "SplitterTestSupport.h"
#include "platform/Registry.h"
#include "splitter/SplitSettings.h"

using namespace quarva::splitter;
using namespace quarva::splitter::testing;
using quarva::platform::Hive;
using quarva::platform::Registry;
using quarva::testing::writeFile;

class SettingsTest : public SplitterTest {
protected:
    Registry reg() const { return Registry::fromEnvironment(); }
    void setRaw(const char* name, const std::string& bytes) {
        ASSERT_EQ(reg().setValue(Hive::CurrentUser, kSettingsKey, name, quarva::platform::kRegSz, bytes.data(),
                                 static_cast<std::uint32_t>(bytes.size())),
                  0);
    }
    CSplitSettings load() {
        CSplitSettings s;
        s.Load((dir() / "fallback").string());
        return s;
    }
};

TEST_F(SettingsTest, FolderOptionsDecimalParse) {
    EXPECT_EQ(CSplitSettings::ParseFolderOptions("3"), 3u);
    EXPECT_EQ(CSplitSettings::ParseFolderOptions("1"), 1u);
    EXPECT_EQ(CSplitSettings::ParseFolderOptions("2"), 2u);
    EXPECT_EQ(CSplitSettings::ParseFolderOptions("7"), 0u);
    EXPECT_EQ(CSplitSettings::ParseFolderOptions("0"), 0u);
    EXPECT_EQ(CSplitSettings::ParseFolderOptions(""), 0u);
    EXPECT_EQ(CSplitSettings::ParseFolderOptions(" 2x"), 2u);
    EXPECT_EQ(CSplitSettings::ParseFolderOptions("-1"), 0u);
}

TEST_F(SettingsTest, FolderOptionsFromTheRegistry) {
    setRaw("Folder Options", "3");  // one byte, no terminator
    auto s = load();
    EXPECT_TRUE(s.removeAfterRejoin);
    EXPECT_TRUE(s.eraseBeforeSplit);

    setRaw("Folder Options", "7");
    s = load();
    EXPECT_FALSE(s.removeAfterRejoin);
    EXPECT_FALSE(s.eraseBeforeSplit);

    setRaw("Folder Options", std::string("1\0", 2));
    s = load();
    EXPECT_TRUE(s.removeAfterRejoin);
    EXPECT_FALSE(s.eraseBeforeSplit);
}

TEST_F(SettingsTest, FolderOptionsAreStoredAsOneByteWithoutTerminator) {
    CSplitSettings s;
    s.eraseBeforeSplit = true;
    s.StoreFolderOptions();
    std::uint32_t type = 0, size = 16;
    char data[16] = {};
    ASSERT_EQ(reg().queryValue(Hive::CurrentUser, kSettingsKey, "Folder Options", &type, data, &size), 0);
    EXPECT_EQ(type, quarva::platform::kRegSz);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(data[0], '2');
    auto back = load();
    EXPECT_TRUE(back.eraseBeforeSplit);
    EXPECT_FALSE(back.removeAfterRejoin);
}

TEST_F(SettingsTest, FoldersAreStoredAs260ByteBlocks) {
    CSplitSettings::StoreFolder("Working Folder", "/data/work");
    std::uint32_t type = 0, size = 0;
    ASSERT_EQ(reg().queryValue(Hive::CurrentUser, kSettingsKey, "Working Folder", &type, nullptr, &size), 0);
    EXPECT_EQ(size, 260u);
    std::vector<char> block(size);
    ASSERT_EQ(reg().queryValue(Hive::CurrentUser, kSettingsKey, "Working Folder", &type, block.data(), &size), 0);
    EXPECT_EQ(std::string(block.data()), "/data/work");
    EXPECT_TRUE(std::all_of(block.begin() + 10, block.end(), [](char c) { return c == 0; }));
    EXPECT_EQ(load().workingFolder, "/data/work");

    // A longer path is kept whole.
    std::string longPath = "/" + std::string(300, 'p');
    CSplitSettings::StoreFolder("Startup Folder", longPath);
    EXPECT_EQ(load().startupFolder, longPath);
}

TEST_F(SettingsTest, DefaultsFollowTheInstalledPath) {
    auto s = load();
    EXPECT_EQ(s.workingFolder, (dir() / "fallback" / "Working").string());
    EXPECT_EQ(s.startupFolder, (dir() / "fallback" / "Startup").string());

    ASSERT_EQ(reg().writeString(Hive::CurrentUser, kSettingsKey, "Installed Path", "/opt/quarva"), 0);
    s = load();
    EXPECT_EQ(s.installedPath, "/opt/quarva");
    EXPECT_EQ(s.workingFolder, "/opt/quarva/Working");
    EXPECT_EQ(s.startupFolder, "/opt/quarva/Startup");
    EXPECT_TRUE(reg().keyExists(Hive::CurrentUser, kSettingsKey));
}

TEST_F(SettingsTest, MissingFoldersAreOfferedForCreation) {
    CSplitSettings s;
    s.workingFolder = (dir() / "work").string();
    s.startupFolder = (dir() / "start").string();
    prompts.queue(Answer::Ok);
    prompts.queue(Answer::Ok);
    s.CheckFolders(prompts);
    auto boxes = prompts.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, s.workingFolder + " does not exist. \n Create it?");
    EXPECT_EQ(boxes[0].caption, "Create working directory");
    EXPECT_EQ(boxes[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(boxes[1].caption, "Create startup directory");
    EXPECT_TRUE(fs::is_directory(dir() / "work"));
    EXPECT_TRUE(fs::is_directory(dir() / "start"));
}

TEST_F(SettingsTest, DecliningOrFailingCreation) {
    writeFile(dir() / "afile", "x");
    CSplitSettings s;
    s.workingFolder = (dir() / "afile" / "work").string();  // cannot be created under a file
    s.startupFolder = (dir() / "start").string();
    prompts.queue(Answer::Ok);      // create the working folder
    prompts.queue(Answer::Ok);      // it could not be created
    prompts.queue(Answer::Cancel);  // do not create the startup folder
    s.CheckFolders(prompts);
    auto boxes = prompts.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1].text, "Cannot create directory " + (dir() / "afile" / "work").string());
    EXPECT_EQ(boxes[1].caption, "Error creating directory");
    EXPECT_EQ(s.startupFolder, CSplitSettings::FallbackFolder());
    EXPECT_FALSE(fs::exists(dir() / "start"));
}

TEST_F(SettingsTest, PaneOkStoresOptionsAndFolders) {
    CSplitSettings s = load();
    CSettingsPane pane;
    pane.Open(s);
    pane.removeAfterRejoin = true;
    pane.eraseBeforeSplit = true;
    pane.workingBox = (dir() / "newwork").string();
    pane.startupBox = out.string();
    prompts.queue(Answer::Ok);
    EXPECT_EQ(pane.OnOK(s, prompts), 0);
    EXPECT_EQ(prompts.boxTexts(),
              std::vector<std::string>{(dir() / "newwork").string() + " does not exist. \n Create it?"});
    EXPECT_TRUE(fs::is_directory(dir() / "newwork"));
    auto stored = load();
    EXPECT_TRUE(stored.removeAfterRejoin);
    EXPECT_TRUE(stored.eraseBeforeSplit);
    EXPECT_EQ(stored.workingFolder, (dir() / "newwork").string());
    EXPECT_EQ(stored.startupFolder, out.string());
    EXPECT_EQ(s.workingFolder, (dir() / "newwork").string());
}

TEST_F(SettingsTest, PaneOkWithADeclinedFolderStoresNothingForIt) {
    CSplitSettings s = load();
    const std::string before = s.workingFolder;
    CSettingsPane pane;
    pane.Open(s);
    pane.workingBox = (dir() / "declined").string();
    prompts.queue(Answer::Cancel);
    EXPECT_EQ(pane.OnOK(s, prompts), 0);
    EXPECT_FALSE(fs::exists(dir() / "declined"));
    EXPECT_EQ(s.workingFolder, before);
    EXPECT_EQ(pane.workingBox, before);
    EXPECT_EQ(pane.OnCancel(), 777);
}
