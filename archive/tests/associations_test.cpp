// The association step of start-up, against a real registry store.
#include "archive/core/Associations.h"
#include "archive/tests/ArchiveTestDoubles.h"

using namespace quarva::archive;
using namespace quarva::archive::testing;
using quarva::platform::Hive;
using quarva::platform::Registry;

namespace {

using AssociationsTest = PromptsTest;

TEST_F(AssociationsTest, MissingLibraryShowsErrorAndWritesNothing) {
    Registry registry = Registry::fromEnvironment();
    EXPECT_FALSE(registerAssociations(dir() / "libqzip32.so", nullptr, prompts, registry));
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0],
              (MessageBoxRequest{"Error in Associating Archives", "Quarva.Zip Suite", Buttons::Ok, Icon::Stop, 0}));
    EXPECT_FALSE(registry.keyExists(Hive::ClassesRoot, "QuarvaZip"));
}

TEST_F(AssociationsTest, LibraryWithoutEntryPointShowsError) {
    // Any shared library without "Associate" will do.
    fs::path other = "/lib/x86_64-linux-gnu/libz.so.1";
    if (!fs::exists(other)) GTEST_SKIP() << "no libz.so.1 to stand in for a library without Associate";
    Registry registry = Registry::fromEnvironment();
    EXPECT_FALSE(registerAssociations(other, nullptr, prompts, registry));
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text, "Error in Associating Archives");
}

TEST_F(AssociationsTest, RealLibraryWritesInfoTipEntries) {
    fs::path library = quarva::testing::buildDir() / "formatlib" / "libqzip32.so";
    if (!fs::exists(library)) GTEST_SKIP() << "format library not built at " << library;
    Registry registry = Registry::fromEnvironment();
    ASSERT_TRUE(registerAssociations(library, nullptr, prompts, registry));
    EXPECT_TRUE(prompts.boxes().empty());
    const std::string slot = "ShellEx\\{00021500-0000-0000-c000-000000000046}";
    EXPECT_EQ(registry.readString(Hive::ClassesRoot, "QuarvaZip\\" + slot, ""),
              "{E22D9CE2-193B-485B-9B9E-A8BDC5559890}");
    EXPECT_EQ(registry.readString(Hive::ClassesRoot, "exefile\\" + slot, ""), "{E22D9CE2-193B-485B-9B9E-A8BDC5559890}");
    EXPECT_EQ(registry.readString(Hive::ClassesRoot, "QuarvaZip", ""), "Quarva.Zip Suite File");
}

}  // namespace

namespace {

TEST(DesktopAssociation, OnlyWhenAskedForAndForTheProgramsArchiveTypes) {
    quarva::platform::testing::RecordingLauncher launcher;
    EXPECT_FALSE(associateWithDesktop(CConfiguration::kDefaultSystemBits, launcher));
    EXPECT_TRUE(launcher.launches().empty());
    ASSERT_TRUE(associateWithDesktop(systembits::kDesktopDefault, launcher));
    ASSERT_EQ(launcher.launches().size(), 1u);
    auto argv = launcher.launches()[0].argv;
    ASSERT_GT(argv.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(argv.begin(), argv.begin() + 3),
              (std::vector<std::string>{"xdg-mime", "default", "com.quarva.QuarvaZip.desktop"}));
    // The types are those the desktop file lists, but the splitter's.
    std::string entry =
        quarva::testing::readFile(quarva::testing::sourceDir() / "desktop/applications/com.quarva.QuarvaZip.desktop");
    std::string listed;
    for (auto it = argv.begin() + 3; it != argv.end(); ++it) listed += *it + ";";
    EXPECT_NE(entry.find("\nMimeType=" + listed + "application/x-quarva-split-info;\n"), std::string::npos) << listed;
}

}  // namespace
