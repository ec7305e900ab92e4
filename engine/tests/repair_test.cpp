// Repair: a removed or damaged central directory, damaged entries.

#include "engine/ZipEngine.h"
#include "EngineTestUtil.h"

using namespace quarva::engine;
using namespace quarva::engine::testutil;
using namespace quarva::testing;

namespace {

class Repair : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        for (int i = 0; i < 3000; ++i) longText += "paragraph " + std::to_string(i) + " of the report\n";
        ASSERT_TRUE(makeZip(archive,
                            {{"one.txt", "first file\n"},
                             {"long.txt", longText, 0100644, true},
                             {"dir/", "", 040755},
                             {"dir/three.txt", "third\n", 0100644, true}},
                            "the comment"));
    }
    std::vector<std::string> listed() {
        rec.events.clear();
        EXPECT_EQ(engine.list(), 0);
        return rec.names(6);
    }
    std::size_t centralStart() {
        std::string z = readFile(archive);
        return z.find(std::string("PK\x01\x02", 4));
    }

    std::string longText;
};

}  // namespace

TEST_F(Repair, RemovedCentralDirectory) {
    std::string z = readFile(archive);
    z.resize(centralStart());
    writeFile(archive, z);
    EXPECT_EQ(engine.list(), kStatusZeroLength);
    ASSERT_EQ(engine.repair(0), 0);
    EXPECT_EQ(listed(), (std::vector<std::string>{"one.txt", "long.txt", "dir\\", "dir\\three.txt"}));
    EXPECT_EQ(engine.test(), 0);
}

TEST_F(Repair, DamagedCentralDirectoryKeepsTheComment) {
    std::string z = readFile(archive);
    std::size_t cd = centralStart();
    for (std::size_t k = cd; k < cd + 60; ++k) z[k] = 'Z';
    writeFile(archive, z);
    EXPECT_NE(engine.list(), 0);
    ASSERT_EQ(engine.repair(0), 0);
    EXPECT_EQ(listed().size(), 4u);
    EXPECT_EQ(engine.comment(), "the comment");
}

TEST_F(Repair, DamagedEntryModerateDropsAggressiveSalvages) {
    std::string z = readFile(archive);
    z.resize(centralStart());
    // Damage the middle of long.txt's deflate stream.
    std::size_t at = z.find("long.txt") + 8 + 9 + 400;
    for (std::size_t k = at; k < at + 40; ++k) z[k] = char(z[k] ^ 0x5a);
    writeFile(archive, z);
    fs::copy_file(archive, dir() / "copy.zip");
    ASSERT_EQ(engine.repair(0), 0);
    auto moderate = listed();
    EXPECT_EQ(std::find(moderate.begin(), moderate.end(), "long.txt"), moderate.end());
    EXPECT_EQ(moderate.size(), 3u);
    EXPECT_EQ(engine.test(), 0);

    engine.setArchiveName((dir() / "copy.zip").string());
    ASSERT_EQ(engine.repair(1), 0);
    auto aggressive = listed();
    EXPECT_NE(std::find(aggressive.begin(), aggressive.end(), "long.txt"), aggressive.end());
    EXPECT_EQ(engine.test(), 0);  // the salvaged entry is consistent again
    engine.setExtractFolder((dir() / "o").string());
    ASSERT_EQ(engine.extract(0), 0);
    std::string part = readFile(dir() / "o" / "long.txt");
    EXPECT_GT(part.size(), 0u);
    EXPECT_EQ(longText.compare(0, 100, part, 0, 100), 0);  // the start survives as it was
}

TEST_F(Repair, TruncatedArchive) {
    std::string z = readFile(archive);
    std::size_t cut = z.find("long.txt") + 8 + 9 + 200;
    z.resize(cut);
    writeFile(archive, z);
    ASSERT_EQ(engine.repair(0), 0);
    EXPECT_EQ(listed(), (std::vector<std::string>{"one.txt"}));
    writeFile(archive, z);
    ASSERT_EQ(engine.repair(1), 0);
    EXPECT_EQ(listed(), (std::vector<std::string>{"one.txt", "long.txt"}));
}

TEST_F(Repair, NothingToRescue) {
    writeFile(archive, std::string(10000, 'j'));
    std::string before = readFile(archive);
    EXPECT_EQ(engine.repair(0), kStatusCorrupt);
    EXPECT_EQ(engine.repair(1), kStatusCorrupt);
    EXPECT_TRUE(readFile(archive) == before);
    writeFile(archive, "");
    EXPECT_EQ(engine.repair(0), kStatusZeroLength);
    engine.setArchiveName((dir() / "none.zip").string());
    EXPECT_EQ(engine.repair(0), kStatusArchiveNotFound);
    EXPECT_EQ(engine.repair(7), kStatusConfiguration);
}

TEST_F(Repair, StreamedEntriesWithDescriptors) {
    if (!haveTool("zip")) GTEST_SKIP() << "zip missing";
    writeFile(dir() / "in.txt", longText);
    std::string out;
    ASSERT_EQ(runCommand("zip -q - - < " + q(dir() / "in.txt") + " > " + q(archive), &out), 0);
    std::string z = readFile(archive);
    z.resize(centralStart());
    writeFile(archive, z);
    ASSERT_EQ(engine.repair(0), 0);
    EXPECT_EQ(listed(), (std::vector<std::string>{"-"}));
    engine.setExtractFolder((dir() / "o").string());
    ASSERT_EQ(engine.extract(0), 0);
    EXPECT_TRUE(readFile(dir() / "o" / "-") == longText);
}
