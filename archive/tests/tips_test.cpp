// "Tip of the Day": reading tips.txt, the saved position and the start-up choice.
#include "archive/utilities/TipFile.h"
#include "platform/testing/TestSupport.h"

#include <memory>
#include <sys/time.h>

namespace fs = std::filesystem;
using namespace quarva::archive;
using quarva::testing::writeFile;

namespace {

class TipsTest : public quarva::testing::FolderTest {
protected:
    // Made after FolderTest::SetUp, so that it works on this test's own registry.
    void SetUp() override {
        FolderTest::SetUp();
        storage = std::make_unique<SettingsStore>(SettingsStore::fromEnvironment());
    }
    fs::path tips() const { return dir() / "tips.txt"; }
    std::unique_ptr<SettingsStore> storage;
    SettingsStore& store() { return *storage; }
};

TEST_F(TipsTest, MissingFileShowsItsTextAndOffersNoNextTip) {
    CTipFile file(store(), tips());
    file.open();
    EXPECT_EQ(file.tip(), "Tips file does not exist in the prescribed directory");
    EXPECT_FALSE(file.canAdvance());
}

TEST_F(TipsTest, SkipsCommentsAndIndentedLinesAndGoesRound) {
    writeFile(tips(), "; comment\nFirst tip.\n\tindented\n continued\n\nSecond tip.\n");
    CTipFile file(store(), tips());
    file.open();
    EXPECT_EQ(file.tip(), "First tip.\n");
    file.next();
    EXPECT_EQ(file.tip(), "Second tip.\n");
    file.next();
    EXPECT_EQ(file.tip(), "First tip.\n");
    EXPECT_TRUE(file.canAdvance());
}

TEST_F(TipsTest, PositionIsKeptForTheNextRun) {
    writeFile(tips(), "One\nTwo\nThree\n");
    {
        CTipFile file(store(), tips());
        file.open();
        file.next();
        EXPECT_EQ(file.tip(), "Two\n");
    }
    CTipFile again(store(), tips());
    again.open();
    EXPECT_EQ(again.tip(), "Three\n");
}

TEST_F(TipsTest, ChangedFileStartsFromTheTop) {
    writeFile(tips(), "One\nTwo\nThree\n");
    {
        CTipFile file(store(), tips());
        file.open();
        file.next();
    }
    writeFile(tips(), "New one\nNew two\n");
    // A different modification time, whatever the clock's resolution.
    struct timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
    utimes(tips().c_str(), times);
    CTipFile file(store(), tips());
    file.open();
    EXPECT_EQ(file.tip(), "New one\n");
}

TEST_F(TipsTest, FileWithoutTipsEndsWithTroubleText) {
    writeFile(tips(), "; only comments\n\tand indented lines\n");
    CTipFile file(store(), tips());
    file.open();
    EXPECT_EQ(file.tip(), "Trouble reading the tips file");
}

TEST_F(TipsTest, LongLinesAreCutAndEightBitTextIsShown) {
    writeFile(tips(), std::string(1500, 'L') + "\nNext \xE9t\xE9\n");
    CTipFile file(store(), tips());
    file.open();
    EXPECT_EQ(file.tip(), std::string(1000, 'L'));
    file.next();
    EXPECT_EQ(file.tip(), "Next \u00e9t\u00e9\n");
}

TEST_F(TipsTest, StartUpChoice) {
    EXPECT_TRUE(CTipFile::showAtStartup(store()));
    CTipFile::setShowAtStartup(store(), false);
    EXPECT_EQ(store().readNumber(kTipSectionKey, "StartUp"), 1u);
    EXPECT_FALSE(CTipFile::showAtStartup(store()));
    CTipFile::setShowAtStartup(store(), true);
    EXPECT_TRUE(CTipFile::showAtStartup(store()));
}

}  // namespace
