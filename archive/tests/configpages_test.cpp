// The "Configuration" sheet's values and its "OK" against a real registry store in
// a temp folder.
#include "archive/core/QuarvaZipApp.h"
#include "archive/tests/ArchiveTestDoubles.h"
#include "archive/utilities/ConfigPages.h"

using namespace quarva::archive;
using namespace quarva::archive::testing;

namespace {

class ConfigPagesTest : public PromptsTest {
protected:
    void SetUp() override {
        PromptsTest::SetUp();
        app = std::make_unique<CQuarvaZipApp>(SettingsStore::fromEnvironment(), prompts);
        app->loadSettings();
        app->archivesFolder = dir() / "old-archives";
        app->extractionFolder = dir() / "old-extract";
        fs::create_directories(app->archivesFolder);
        fs::create_directories(app->extractionFolder);
    }
    std::uint32_t number(const char* name) { return app->store().readNumber(suiteKey("Settings"), name); }
    std::string text(const char* name) { return app->store().readString(suiteKey("Settings"), name); }
    std::unique_ptr<CQuarvaZipApp> app;
};

TEST_F(ConfigPagesTest, OkWritesEachBitAndFolderToTheStore) {
    // Every box of every page, switched away from the default: only its own bit moves.
    auto each = [&](const auto& boxes, bool view) {
        for (const ConfigBitBox& box : boxes) {
            ConfigSheetValues v = ConfigSheetValues::fromApp(*app);
            std::uint32_t& bits = view ? v.viewBits : v.systemBits;
            const std::uint32_t before = bits;
            setBit(bits, box.bit, (before & box.bit) == 0);
            applyConfiguration(v, *app, prompts);
            EXPECT_EQ(number(view ? "Config View Settings" : "Config System Settings"), before ^ box.bit) << box.text;
            bits = before;
            applyConfiguration(v, *app, prompts);
        }
    };
    each(kHeaderBoxes, true);
    each(kGeneralBoxes, true);
    each(kShellBoxes, false);
    each(kDesktopBoxes, false);

    fs::create_directories(dir() / "archives");
    fs::create_directories(dir() / "extract");
    ConfigSheetValues v = ConfigSheetValues::fromApp(*app);
    v.scannerPath = "/usr/bin/scan it";
    v.archivesFolder = (dir() / "archives/").string();
    v.extractFolder = (dir() / "extract").string();
    v.viewBits = 0x1000 | viewbits::kTypeColumn;
    EXPECT_TRUE(applyConfiguration(v, *app, prompts).viewChanged);
    EXPECT_FALSE(applyConfiguration(v, *app, prompts).viewChanged);
    EXPECT_EQ(text("Scanner Path"), "/usr/bin/scan it");
    EXPECT_EQ(text("Archives Folder"), (dir() / "archives").string());
    EXPECT_EQ(text("Extract Folder"), (dir() / "extract").string());
    EXPECT_EQ(app->archivesFolder, dir() / "archives");
    EXPECT_EQ(number("Config View Settings"), 0x1001u);
    EXPECT_TRUE(prompts.boxes().empty());
}

TEST_F(ConfigPagesTest, CancelWritesNothing) {
    ConfigSheetValues v = ConfigSheetValues::fromApp(*app);
    v.viewBits = 1;
    v.systemBits = 0;
    v.archivesFolder = "/nowhere";
    // The sheet's values are a copy: closing it without "OK" leaves the store and the
    // application's settings as they were.
    EXPECT_FALSE(fs::exists(registryDir()) && !fs::is_empty(registryDir()));
    EXPECT_EQ(app->configuration.viewBits, CConfiguration::kDefaultViewBits);
    EXPECT_EQ(app->archivesFolder, dir() / "old-archives");
}

TEST_F(ConfigPagesTest, MissingFoldersAreAskedForAndRefusedOnesKeepTheirValue) {
    ConfigSheetValues v = ConfigSheetValues::fromApp(*app);
    v.archivesFolder = (dir() / "new archives").string();
    v.extractFolder = (dir() / "new extract\nline").string();
    v.systemBits = 0x10;
    prompts.queue(Answer::No);   // archives folder
    prompts.queue(Answer::Yes);  // extract folder
    applyConfiguration(v, *app, prompts);
    ASSERT_EQ(prompts.boxes().size(), 2u);
    EXPECT_EQ(prompts.boxes()[0], (MessageBoxRequest{"Archives folder does not exist.\nCreate?", "Quarva.Zip Suite",
                                                     Buttons::YesNo, Icon::Question, 1}));
    EXPECT_EQ(prompts.boxes()[1], (MessageBoxRequest{"Extract folder does not exist.\nCreate?", "Quarva.Zip Suite",
                                                     Buttons::YesNo, Icon::Question, 1}));
    EXPECT_FALSE(fs::exists(dir() / "new archives"));
    EXPECT_EQ(app->archivesFolder, dir() / "old-archives");
    EXPECT_EQ(text("Archives Folder"), "");
    EXPECT_TRUE(fs::is_directory(dir() / "new extract\nline"));
    EXPECT_EQ(text("Extract Folder"), (dir() / "new extract\nline").string());
    EXPECT_EQ(number("Config System Settings"), 0x10u);  // the later steps still ran

    // A folder that cannot be made (below a file): the second message, nothing stored.
    quarva::testing::writeFile(dir() / "file", "x");
    v.archivesFolder = (dir() / "file" / "sub").string();
    v.extractFolder = "";
    prompts.queue(Answer::Yes);
    prompts.queue(Answer::Ok);
    applyConfiguration(v, *app, prompts);
    ASSERT_EQ(prompts.boxes().size(), 4u);
    EXPECT_EQ(prompts.boxes()[3], (MessageBoxRequest{"Could not create archives folder?\nEnter valid characters",
                                                     "Quarva.Zip Suite", Buttons::Ok, Icon::None, 0}));
    EXPECT_EQ(app->archivesFolder, dir() / "old-archives");
    EXPECT_EQ(text("Extract Folder"), "");  // an empty field is stored as it is
    EXPECT_EQ(app->extractionFolder, "");

    // A relative folder is stored as the absolute one it names.
    const fs::path cwd = fs::current_path();
    fs::current_path(dir());
    fs::create_directories(dir() / "rel");
    v.archivesFolder = "rel";
    applyConfiguration(v, *app, prompts);
    fs::current_path(cwd);
    EXPECT_EQ(text("Archives Folder"), (dir() / "rel").string());
}

TEST(ConfigPageRules, DefaultsAndShellOptions) {
    // Type, Date, Size, Path on, Packed off; Ratio, General and unknown bits kept.
    EXPECT_EQ(viewDefaults(viewbits::kPackedColumn | viewbits::kRatioColumn | viewbits::kGridLines | 0x1800), 0x18AFu);
    EXPECT_EQ(viewDefaults(0), 0x27u);
    EXPECT_TRUE(shellOptionsEnabled(0x10));
    EXPECT_FALSE(shellOptionsEnabled(0x3EF));
}

}  // namespace
