// Disk spanning on real floppy-sized volumes: a 1440 KB tmpfs mounted for the test,
// whose contents the test swaps for the next "disk" whenever the splitter asks for one.
#include <gtest/gtest.h>

#include <cstring>
#include <sys/mount.h>

#include "SplitterTestSupport.h"
#include "splitter/SplitSet.h"

using namespace quarva::splitter;
using namespace quarva::splitter::testing;
using quarva::testing::readFile;

class SpanningTest : public SplitterTest {
protected:
    void SetUp() override
    {
        SplitterTest::SetUp();
        floppy = dir() / "floppy";
        fs::create_directories(floppy);
        if (mount("tmpfs", floppy.c_str(), "tmpfs", 0, "size=1440k") != 0)
            GTEST_SKIP() << "cannot mount a floppy-sized tmpfs here (" << std::strerror(errno)
                         << "); disk spanning needs root or a user namespace that allows mounting";
        mounted = true;
    }
    void TearDown() override
    {
        if (mounted) umount2(floppy.c_str(), MNT_DETACH);
        SplitterTest::TearDown();
    }

    // Takes the disk out: its files go into the store of that disk.
    void ejectInto(const fs::path& store)
    {
        fs::create_directories(store);
        for (const auto& e : fs::directory_iterator(floppy)) {
            fs::copy(e.path(), store / e.path().filename(), fs::copy_options::recursive);
            fs::remove_all(e.path());
        }
    }
    void insertFrom(const fs::path& store)
    {
        for (const auto& e : fs::directory_iterator(store)) fs::copy(e.path(), floppy / e.path().filename());
    }
    fs::path disk(int n) const { return dir() / ("disk" + std::to_string(n)); }

    fs::path floppy;
    bool mounted = false;
};

TEST_F(SpanningTest, SplitFillsTheFirstDiskInTheMiddleOfAChunkAndRejoinsAcrossDisks)
{
    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    auto source = makeSource("movie.avi", 3000000);
    int disks = 0;
    prompts.onBox = [&](const MessageBoxRequest& box) {
        if (box.text == texts::kInsertAnotherDisk) {
            EXPECT_EQ(box.caption, "Inset new disk");
            EXPECT_EQ(box.buttons, Buttons::OkCancel);
            ejectInto(disk(++disks));
            prompts.queue(Answer::Ok);
        }
    };
    auto dlg = makeDlg();
    split(*dlg, source, floppy);
    ejectInto(disk(++disks));
    ASSERT_TRUE(prompts.shown(texts::kCompleted)) << ::testing::PrintToString(prompts.boxTexts());
    ASSERT_GE(disks, 2);

    // The first disk holds the information file, chunk 0 and the start of chunk 1.
    EXPECT_EQ(filesIn(disk(1)), (std::vector<std::string>{"movie.avi.0.spl", "movie.avi.1.spl", "movie.avi.sio"}));
    EXPECT_EQ(sizeOf(disk(1) / "movie.avi.0.spl"), 1457664u);
    auto firstPart = sizeOf(disk(1) / "movie.avi.1.spl");
    EXPECT_GT(firstPart, 0u);
    EXPECT_LT(firstPart, 1457664u);
    // The rest of chunk 1 continues under the same name on the second disk.
    ASSERT_TRUE(fs::exists(disk(2) / "movie.avi.1.spl"));
    EXPECT_EQ(firstPart + sizeOf(disk(2) / "movie.avi.1.spl"), 1457664u);

    // All pieces in index order, and within an index in disk order, make the source.
    std::string pieces;
    for (std::uint32_t i = 0; i < 3; ++i)
        for (int d = 1; d <= disks; ++d)
            if (fs::exists(disk(d) / chunkFileName("movie.avi", i))) pieces += readFile(disk(d) / chunkFileName("movie.avi", i));
    EXPECT_EQ(pieces, readFile(source));

    // Rejoin from the disks, inserting the next one whenever asked.
    insertFrom(disk(1));
    int inserted = 1;
    std::vector<std::string> asked;
    prompts.onBox = [&](const MessageBoxRequest& box) {
        if (box.caption != "Continue ?") return;
        asked.push_back(box.text);
        ASSERT_LT(inserted, disks);
        ejectInto(dir() / ("used" + std::to_string(inserted)));
        insertFrom(disk(++inserted));
        prompts.queue(Answer::Ok);
    };
    auto dlg2 = makeDlg();
    rejoin(*dlg2, floppy / "movie.avi.sio", back);
    EXPECT_EQ(prompts.count(texts::kCompleted), 2);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0], "Insert disk containing file movie.avi.2.spl \n and press OK");
    EXPECT_EQ(inserted, disks);
    EXPECT_TRUE(readFile(back / "movie.avi") == readFile(source)) << "rejoined file differs from the source";
}

TEST_F(SpanningTest, TwoDisksEndingInTheLastChunkAskForTheNextDisk)
{
    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    auto source = makeSource("two.bin", 2000000, 11);
    int disks = 0;
    prompts.onBox = [&](const MessageBoxRequest& box) {
        if (box.text == texts::kInsertAnotherDisk) {
            ejectInto(disk(++disks));
            prompts.queue(Answer::Ok);
        }
    };
    auto dlg = makeDlg();
    split(*dlg, source, floppy);
    ejectInto(disk(++disks));
    ASSERT_TRUE(prompts.shown(texts::kCompleted));
    ASSERT_EQ(disks, 2);

    insertFrom(disk(1));
    std::vector<std::string> asked;
    prompts.onBox = [&](const MessageBoxRequest& box) {
        if (box.caption != "Continue ?") return;
        asked.push_back(box.text);
        ejectInto(dir() / "used");
        insertFrom(disk(2));
        prompts.queue(Answer::Ok);
    };
    auto dlg2 = makeDlg();
    rejoin(*dlg2, floppy / "two.bin.sio", back);
    EXPECT_EQ(asked, std::vector<std::string>{"Insert next disk and click OK"});
    EXPECT_EQ(prompts.count(texts::kCompleted), 2);
    EXPECT_TRUE(readFile(back / "two.bin") == readFile(source));
}

TEST_F(SpanningTest, WriteProtectedDiskShowsOnlyTheRemovableRetryPrompt)
{
    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    ASSERT_EQ(mount(nullptr, floppy.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0) << std::strerror(errno);
    auto source = makeSource("wp.bin", 300000);
    prompts.onBox = [&](const MessageBoxRequest& box) {
        // The user slides the protection off and answers OK.
        if (box.caption == "Continue?") mount(nullptr, floppy.c_str(), nullptr, MS_REMOUNT, nullptr);
    };
    prompts.queue(Answer::Ok);
    auto dlg = makeDlg();
    dlg->ChooseSize(SizeChoice::Bytes);
    dlg->SetCustomSizeText("100000");
    split(*dlg, source, floppy);
    auto boxes = prompts.boxes();
    ASSERT_EQ(boxes.size(), 2u) << ::testing::PrintToString(prompts.boxTexts());
    // Code 19 (write protected) has no message of its own.
    EXPECT_EQ(boxes[0].text, "Operations on drive " + floppy.string() +
                                 " removable media unsuccessful \n You can continue by clicking OK \n after inserting "
                                 "another disk for a write operation");
    EXPECT_EQ(boxes[1].text, texts::kCompleted);
    EXPECT_EQ(filesIn(floppy).size(), 4u);
}

TEST_F(SpanningTest, FixedVolumeWithLessSpaceThanOneChunk)
{
    // Not listed as removable: a small fixed volume.
    auto source = makeSource("big.bin", 3000000);
    auto dlg = makeDlg();
    dlg->ChooseSize(SizeChoice::Bytes);
    dlg->SetCustomSizeText("2000000");
    split(*dlg, source, floppy);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"Not enough disk space."});
    EXPECT_TRUE(filesIn(floppy).empty());
}

TEST_F(SpanningTest, FixedVolumeThatFillsUpAsksForAnotherDisk)
{
    auto source = makeSource("fill.bin", 3000000);
    auto dlg = makeDlg();
    prompts.queue(Answer::Cancel);
    split(*dlg, source, floppy);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"Insert another disk and press OK"});
    EXPECT_FALSE(dlg->view().progressBarVisible);
    EXPECT_TRUE(dlg->view().controlsEnabled);
    // Cancel leaves what was written (the set is incomplete either way).
    EXPECT_EQ(filesIn(floppy), (std::vector<std::string>{"fill.bin.0.spl", "fill.bin.1.spl", "fill.bin.sio"}));
}

TEST_F(SpanningTest, RejoinOntoAFullDiskReportsItAndRemovesThePartialOutput)
{
    auto source = makeSource("r.bin", 3000000);
    {
        HookedPrompts quiet;
        CVantorSplitDlg dlg(quiet, (dir() / "installed").string());
        dlg.OnInitDialog(false);
        dlg.OnFileChosen(source.string(), src.string());
        dlg.OnFolderChosen(out.string());
        dlg.OnAction();
        ASSERT_TRUE(quiet.shown(texts::kCompleted));
    }
    auto dlg = makeDlg();
    rejoin(*dlg, out / "r.bin.sio", floppy);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"Disk Full"});
    EXPECT_TRUE(filesIn(floppy).empty());
}
