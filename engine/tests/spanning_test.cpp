// Spanned sets on a real small volume: a floppy-sized tmpfs listed as a removable
// drive, whose "disk" the test swaps when the engine asks for another one.

#include "engine/ZipEngine.h"
#include "EngineTestUtil.h"

#include <unistd.h>

#include <cstdlib>

using namespace quarva::engine;
using namespace quarva::engine::testutil;
using namespace quarva::testing;

namespace {

class Spanning : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        volume = std::make_unique<SmallVolume>(dir() / "floppy", "1440k");
        if (!volume->mounted()) GTEST_SKIP() << volume->problem();
        drive = volume->path();
        roots = std::make_unique<ScopedEnv>("QUARVA_REMOVABLE_ROOTS", drive.string());
        src = dir() / "src";
        fs::create_directories(src);
        for (int i = 0; i < 3; ++i)
            writeFile(src / ("part" + std::to_string(i) + ".bin"), randomBytes(1000000, 40 + i));
        writeFile(src / "small.txt", "small file\n");
        archive = drive / "set.zip";
        engine.setArchiveName(archive.string());
        engine.setSpanning(true);
    }
    void TearDown() override {
        roots.reset();
        volume.reset();
        EngineTest::TearDown();
    }

    fs::path shelf(int disk) { return dir() / ("disk" + std::to_string(disk)); }

    // Takes the disk in the drive out (its files go to the shelf) and puts in an empty one.
    void ejectTo(int disk) {
        fs::create_directories(shelf(disk));
        for (auto& e : fs::directory_iterator(drive)) {
            fs::copy(e.path(), shelf(disk) / e.path().filename(), fs::copy_options::overwrite_existing);
            fs::remove_all(e.path());
        }
    }
    // Puts disk `disk` from the shelf into the drive.
    void insert(int disk) {
        for (auto& e : fs::directory_iterator(drive)) fs::remove_all(e.path());
        for (auto& e : fs::directory_iterator(shelf(disk))) fs::copy(e.path(), drive / e.path().filename());
    }

    std::int16_t writeSet() {
        int inDrive = 1;
        rec.onDisk = [&](std::int16_t n) {
            written.push_back(n);
            ejectTo(inDrive);
            inDrive = n;
        };
        engine.setNames(src.string() + "\r\n");
        engine.setSavePathInfo(false);
        std::int16_t st = engine.add(0);
        if (st == 0) {
            fs::create_directories(shelf(inDrive));
            for (auto& e : fs::directory_iterator(drive)) fs::copy(e.path(), shelf(inDrive) / e.path().filename());
        }
        rec.onDisk = nullptr;
        engine.setNames("");
        return st;
    }

    std::unique_ptr<SmallVolume> volume;
    std::unique_ptr<ScopedEnv> roots;
    fs::path drive, src;
    std::vector<std::int16_t> written;
};

}  // namespace

TEST_F(Spanning, WritesAndReadsASetAcrossDisks) {
    ASSERT_EQ(writeSet(), 0);
    EXPECT_EQ(written, (std::vector<std::int16_t>{2, 3}));
    EXPECT_TRUE(fs::exists(shelf(1) / "set.zip"));
    EXPECT_TRUE(fs::exists(shelf(3) / "set.zip"));
    EXPECT_EQ(std::get<std::int16_t>(engine.getProperty(19)), 3);

    // The directory is on the last disk: listing needs no other disk.
    rec.events.clear();
    ASSERT_EQ(engine.list(), 0);
    EXPECT_EQ(rec.count(6), 4u);
    EXPECT_EQ(rec.count(7), 0u);

    // Testing and extracting ask for disks 1 and 2.
    std::vector<std::int16_t> asked;
    rec.onDisk = [&](std::int16_t n) {
        asked.push_back(n);
        insert(n);
    };
    ASSERT_EQ(engine.test(), 0);
    EXPECT_EQ(asked, (std::vector<std::int16_t>{1, 2}));
    insert(3);
    engine.setExtractFolder((dir() / "out").string());
    ASSERT_EQ(engine.extract(0), 0);
    for (int i = 0; i < 3; ++i) {
        std::string name = "part" + std::to_string(i) + ".bin";
        EXPECT_TRUE(readFile(dir() / "out" / name) == readFile(src / name)) << name;
    }
    // Changing a spanned set is refused.
    insert(3);
    engine.setNames("small.txt\r\n");
    EXPECT_EQ(engine.deleteEntries(), kStatusSpanned);
}

TEST_F(Spanning, FirstDiskInDriveAsksForTheLast) {
    ASSERT_EQ(writeSet(), 0);
    insert(1);
    std::vector<std::int16_t> asked;
    rec.onDisk = [&](std::int16_t n) {
        asked.push_back(n);
        insert(n == 0 ? 3 : n);
    };
    ASSERT_EQ(engine.test(), 0);
    EXPECT_EQ(asked, (std::vector<std::int16_t>{0, 1, 2}));
    // Without spanning the set is refused outright.
    insert(3);
    engine.setSpanning(false);
    EXPECT_EQ(engine.test(), kStatusSpanned);
}

TEST_F(Spanning, CancelOnDiskRequestAborts) {
    rec.onDisk = [&](std::int16_t) { engine.setAbort(true); };
    engine.setNames(src.string() + "\r\n");
    EXPECT_EQ(engine.add(0), kStatusUserAborted);
    for (auto& e : fs::directory_iterator(drive)) fs::remove_all(e.path());
    ASSERT_EQ(writeSet(), 0);
    insert(3);
    rec.onDisk = [&](std::int16_t) { engine.setAbort(true); };
    EXPECT_EQ(engine.test(), kStatusUserAborted);
}

TEST_F(Spanning, SameDiskLeftInDriveGives420) {
    int requests = 0;
    rec.onDisk = [&](std::int16_t) { ++requests; };
    engine.setNames(src.string() + "\r\n");
    EXPECT_EQ(engine.add(0), kStatusWrongDisk);
    EXPECT_EQ(requests, 3);
    // The disk in the drive still holds a complete first piece, nothing else.
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(drive)) files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u);
}

TEST_F(Spanning, WipeDiskErasesTheNewDisk) {
    int inDrive = 1;
    rec.onDisk = [&](std::int16_t n) {
        ejectTo(inDrive);
        inDrive = n;
        writeFile(drive / "old-stuff.dat", std::string(300000, 'o'));  // the "new" disk is not empty
        engine.setProperty(3, true);
    };
    engine.setNames(src.string() + "\r\n");
    ASSERT_EQ(engine.add(0), 0);
    EXPECT_FALSE(fs::exists(drive / "old-stuff.dat"));
    EXPECT_FALSE(fs::exists(shelf(2) / "old-stuff.dat"));
}

TEST_F(Spanning, ASmallArchiveStaysOneOrdinaryFile) {
    rec.onDisk = [&](std::int16_t) { ADD_FAILURE() << "no other disk is needed"; };
    engine.setNames((src / "small.txt").string() + "\r\n");
    engine.setSavePathInfo(false);
    ASSERT_EQ(engine.add(0), 0);
    EXPECT_EQ(std::get<std::int16_t>(engine.getProperty(19)), 0);
    std::string z = readFile(archive);
    EXPECT_EQ(z.substr(0, 4), std::string("PK\x03\x04", 4));
    engine.setNames("");
    EXPECT_EQ(engine.test(), 0);
    std::string out;
    if (haveTool("unzip")) {
        EXPECT_EQ(runCommand("unzip -tq " + q(archive), &out), 0) << out;
    }
}
