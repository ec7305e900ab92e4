// Disk spanning on real floppy-sized volumes: a 1440 KB tmpfs mounted for the test,
// whose contents the test swaps for the next "disk" whenever the splitter asks for one.
#include <gtest/gtest.h>

#include <cstring>
#include <sys/mount.h>

#include "SplitterTestSupport.h"
#include "splitter/HeadlessRun.h"
#include "splitter/SplitSet.h"

using namespace quarva::splitter;
using namespace quarva::splitter::testing;
using quarva::testing::readFile;

class SpanningTest : public SplitterTest {
protected:
    void SetUp() override {
        SplitterTest::SetUp();
        floppy = dir() / "floppy";
        fs::create_directories(floppy);
        if (mount("tmpfs", floppy.c_str(), "tmpfs", 0, "size=1440k") != 0)
            GTEST_SKIP() << "cannot mount a floppy-sized tmpfs here (" << std::strerror(errno)
                         << "); disk spanning needs root or a user namespace that allows mounting";
        mounted = true;
    }
    void TearDown() override {
        if (mounted) umount2(floppy.c_str(), MNT_DETACH);
        SplitterTest::TearDown();
    }

    // Takes the disk out: its files go into the store of that disk.
    void ejectInto(const fs::path& store) {
        fs::create_directories(store);
        for (const auto& e : fs::directory_iterator(floppy)) {
            fs::copy(e.path(), store / e.path().filename(), fs::copy_options::recursive);
            fs::remove_all(e.path());
        }
    }
    void insertFrom(const fs::path& store) {
        for (const auto& e : fs::directory_iterator(store)) fs::copy(e.path(), floppy / e.path().filename());
    }
    fs::path disk(int n) const { return dir() / ("disk" + std::to_string(n)); }

    fs::path floppy;
    bool mounted = false;
};

TEST_F(SpanningTest, AChunkThatDoesNotFitGoesWholeToTheNextDiskAndRejoinsAcrossDisks) {
    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    auto source = makeSource("movie.avi", 3000000);
    int disks = 0, asks = 0;
    prompts.onBox = [&](const MessageBoxRequest& box) {
        if (box.text == texts::kInsertAnotherDisk) {
            EXPECT_EQ(box.caption, "Inset new disk");
            EXPECT_EQ(box.buttons, Buttons::OkCancel);
            // The first time the user answers OK without changing the disk: nothing may get lost.
            if (++asks > 1) ejectInto(disk(++disks));
            prompts.queue(Answer::Ok);
        }
    };
    auto dlg = makeDlg();
    split(*dlg, source, floppy);
    ejectInto(disk(++disks));
    ASSERT_TRUE(prompts.shown(texts::kCompleted)) << ::testing::PrintToString(prompts.boxTexts());
    ASSERT_EQ(disks, 3);

    // No piece of a chunk is left on a full disk: each chunk lies whole on one disk.
    EXPECT_EQ(filesIn(disk(1)), (std::vector<std::string>{"movie.avi.0.spl", "movie.avi.sio"}));
    EXPECT_EQ(filesIn(disk(2)), (std::vector<std::string>{"movie.avi.1.spl"}));
    EXPECT_EQ(filesIn(disk(3)), (std::vector<std::string>{"movie.avi.2.spl"}));
    std::string pieces;
    for (int d = 1; d <= disks; ++d)
        pieces += readFile(disk(d) / chunkFileName("movie.avi", static_cast<std::uint32_t>(d - 1)));
    EXPECT_TRUE(pieces == readFile(source));

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
    EXPECT_EQ(asked, (std::vector<std::string>{"Insert disk containing file movie.avi.1.spl \n and press OK",
                                               "Insert disk containing file movie.avi.2.spl \n and press OK"}));
    EXPECT_TRUE(readFile(back / "movie.avi") == readFile(source)) << "rejoined file differs from the source";
}

TEST_F(SpanningTest, ChunkLargerThanTheDiskEndsTheSplit) {
    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    auto source = makeSource("huge.bin", 3000000);
    auto dlg = makeDlg(SizeChoice::Bytes, "2000000");
    split(*dlg, source, floppy);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kChunkLargerThanDisk});
    EXPECT_TRUE(filesIn(floppy).empty());
}

TEST_F(SpanningTest, WriteProtectedDiskShowsOnlyTheRemovableRetryPrompt) {
    setenv("QUARVA_REMOVABLE_ROOTS", floppy.c_str(), 1);
    ASSERT_EQ(mount(nullptr, floppy.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0) << std::strerror(errno);
    auto source = makeSource("wp.bin", 300000);
    prompts.onBox = [&](const MessageBoxRequest& box) {
        // The user slides the protection off and answers OK.
        if (box.caption == "Continue?") mount(nullptr, floppy.c_str(), nullptr, MS_REMOUNT, nullptr);
    };
    prompts.queue(Answer::Ok);
    auto dlg = makeDlg(SizeChoice::Bytes, "100000");
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

TEST_F(SpanningTest, FixedVolumeWithLessSpaceThanOneChunk) {
    // Not listed as removable: a small fixed volume.
    auto source = makeSource("big.bin", 3000000);
    auto dlg = makeDlg(SizeChoice::Bytes, "2000000");
    split(*dlg, source, floppy);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"Not enough disk space."});
    EXPECT_TRUE(filesIn(floppy).empty());
}

TEST_F(SpanningTest, FixedVolumeThatFillsUpEndsTheSplitAndRemovesTheSet) {
    auto source = makeSource("fill.bin", 5000000);
    const std::string full =
        "The destination " + floppy.string() + " is full.\n The split files written so far have been removed.";
    auto dlg = makeDlg();
    split(*dlg, source, floppy);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{full});
    EXPECT_FALSE(dlg->view().progressBarVisible);
    EXPECT_TRUE(dlg->view().controlsEnabled);
    EXPECT_TRUE(filesIn(floppy).empty());

    // The same through the front end: a failure status.
    HeadlessOptions options;
    options.mode = HeadlessOptions::Mode::Split;
    options.file = source.string();
    options.dest = floppy.string();
    HookedPrompts console;
    EXPECT_EQ(runHeadless(options, console, (dir() / "installed").string()), 1);
    EXPECT_EQ(console.boxTexts(), std::vector<std::string>{full});
    EXPECT_TRUE(filesIn(floppy).empty());
}

TEST_F(SpanningTest, RejoinOntoAFullDiskReportsItAndRemovesThePartialOutput) {
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
