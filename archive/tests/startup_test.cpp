// Start-up steps of the archive manager without its window.
#include "archive/core/QuarvaZipApp.h"
#include "archive/tests/ArchiveTestDoubles.h"
#include "platform/FileSystem.h"

using namespace quarva::archive;
using namespace quarva::archive::testing;

namespace {

using StartupTest = PromptsTest;

TEST_F(StartupTest, EmptyInstalledPathStopsWithItsMessage) {
    CQuarvaZipApp app(SettingsStore::fromEnvironment(), prompts);
    EXPECT_FALSE(app.readInstallation());
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0], (MessageBoxRequest{"Quarva.Zip Suite was not properly installed", "Quarva.Zip Suite",
                                                     Buttons::Ok, Icon::Stop, 0}));
}

TEST_F(StartupTest, InstalledPathGivesLibraryAndDefaultFolders) {
    auto store = SettingsStore::fromEnvironment();
    fs::path installed = dir() / "suite";
    store.writeString(suiteKey("Settings"), "Installed Path", installed.string());
    store.writeString(suiteKey("Settings"), "Scanner Path", "/usr/bin/clamscan");
    CQuarvaZipApp app(store, prompts);
    ASSERT_TRUE(app.readInstallation());
    app.prepareFolders();
    EXPECT_EQ(app.libraryPath, installed / "libqzip32.so");
    EXPECT_EQ(app.extractionFolder, installed / "Extraction");
    EXPECT_EQ(app.archivesFolder, installed / "Archives");
    EXPECT_TRUE(fs::is_directory(installed / "Extraction"));
    EXPECT_TRUE(fs::is_directory(installed / "Archives"));
    EXPECT_EQ(app.scannerPath, "/usr/bin/clamscan");
    EXPECT_TRUE(prompts.boxes().empty());
}

TEST_F(StartupTest, StoredFoldersAreUsedAsTheyStand) {
    auto store = SettingsStore::fromEnvironment();
    store.writeString(suiteKey("Settings"), "Installed Path", (dir() / "suite").string());
    store.writeString(suiteKey("Settings"), "Extract Folder", (dir() / "ex").string());
    CQuarvaZipApp app(store, prompts);
    ASSERT_TRUE(app.readInstallation());
    app.prepareFolders();
    EXPECT_EQ(app.extractionFolder, dir() / "ex");
    EXPECT_FALSE(fs::exists(dir() / "suite" / "Extraction"));
}

TEST_F(StartupTest, DeletionListInTempFolderAndSettingsLoaded) {
    auto store = SettingsStore::fromEnvironment();
    store.writeString(suiteKey("Settings"), "Installed Path", (dir() / "suite").string());
    store.writeNumber(suiteKey("Settings"), "Config View Settings", 0x3F);
    CQuarvaZipApp app(store, prompts);
    ASSERT_TRUE(app.readInstallation());
    ASSERT_TRUE(app.openDeletionList());
    EXPECT_EQ(app.deletionList.path(), tmpDir() / "~QuarvaDel.tmp");
    ASSERT_TRUE(app.parseCommandLine({"/noadddialog", "/x/list.tmp"}));
    app.loadSettings();
    EXPECT_FALSE(app.flatView);
    EXPECT_EQ(app.commandLine.switchName(), "noadddialog");
    app.addRecentFile("/x/a.zip");
    EXPECT_EQ(app.recentPaths.back(), "/x/a.zip");
    app.exitInstance();
    EXPECT_FALSE(fs::exists(tmpDir() / "~QuarvaDel.tmp"));
}

}  // namespace

namespace {

using StartupRefusals = PromptsTest;

TEST_F(StartupRefusals, MoreThanOneSwitchAndOnePathStopsWithAMessage) {
    CQuarvaZipApp app(SettingsStore::fromEnvironment(), prompts);
    EXPECT_FALSE(app.parseCommandLine({"/extract", "/tmp/drop/q", "-noextractdialog", "/tmp/drop/L/a.zip"}));
    const auto boxes = prompts.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    const MessageBoxRequest& box = boxes[0];
    EXPECT_NE(box.text.find("one switch and one path"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("/extract /tmp/drop/q -noextractdialog /tmp/drop/L/a.zip"), std::string::npos) << box.text;
    EXPECT_EQ(box.caption, "Quarva.Zip Suite");
    EXPECT_EQ(box.icon, Icon::Stop);
    EXPECT_EQ(app.commandLine.switchName(), "");
    EXPECT_TRUE(app.parseCommandLine({"/noadddialog", "/x/list.tmp"}));
}

// A temporary folder that another user could reach is not used: the program says
// why and ends before anything else happens.
TEST_F(StartupRefusals, UnusableTemporaryFolderStopsWithItsReason) {
    fs::permissions(tmpDir(), fs::perms::all, fs::perm_options::add);
    CQuarvaZipApp app(SettingsStore::fromEnvironment(), prompts);
    EXPECT_FALSE(app.openDeletionList());
    const auto boxes = prompts.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, quarva::platform::tempFolderProblem());
    EXPECT_FALSE(boxes[0].text.empty());
    EXPECT_EQ(boxes[0].icon, Icon::Stop);
    EXPECT_FALSE(fs::exists(tmpDir() / "~QuarvaDel.tmp"));
}

}  // namespace
