#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

#include "SplitterTestSupport.h"
#include "platform/Interrupt.h"
#include "splitter/SplitSet.h"
#include "splitter/SplitSettings.h"

using namespace quarva::splitter;
using namespace quarva::splitter::testing;
using quarva::testing::readFile;
using quarva::testing::writeFile;

namespace {

void writeInfo(const fs::path& path, std::uint32_t count, const std::string& name, std::uint32_t size) {
    auto bytes = encodeInfo({count, name, size});
    ASSERT_TRUE(bytes);
    writeFile(path, std::vector<std::uint8_t>(bytes->begin(), bytes->end()));
}

}  // namespace

class RejoinTest : public SplitterTest {
protected:
    // Splits a fresh source of `size` bytes into `out` with chunks of `chunk` bytes.
    fs::path makeSet(const std::string& name, std::size_t size, std::uint32_t chunk) {
        auto source = makeSource(name, size);
        HookedPrompts quiet;
        CVantorSplitDlg dlg(quiet, (dir() / "installed").string());
        dlg.OnInitDialog(false);
        dlg.ChooseSize(SizeChoice::Bytes);
        dlg.SetCustomSizeText(std::to_string(chunk));
        dlg.OnFileChosen(source.string(), src.string());
        dlg.OnFolderChosen(out.string());
        dlg.OnAction();
        EXPECT_TRUE(quiet.shown(texts::kCompleted));
        return source;
    }
};

TEST_F(RejoinTest, ThreeChunksRejoinByteForByteWithProgress) {
    auto source = makeSet("movie.avi", 3000000, kFloppyChunkSize);
    auto dlg = makeDlg();
    std::vector<std::pair<int, std::string>> progress;
    std::mutex m;
    dlg->setObserver([&](const SplitterView& v) {
        std::lock_guard lock(m);
        if (v.progressLabelVisible && !v.progressLabel.empty() &&
            (progress.empty() || progress.back().second != v.progressLabel))
            progress.emplace_back(v.progressPos, v.progressLabel);
    });
    rejoin(*dlg, out / "movie.avi.sio", back);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kCompleted});
    EXPECT_EQ(readFile(back / "movie.avi"), readFile(source));
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress[0], std::make_pair(0, std::string("Processed: 0\nRemaining: 3")));
    EXPECT_EQ(progress[2], std::make_pair(66, std::string("Processed: 2\nRemaining: 1")));
    // The split set stays unless the option says otherwise.
    EXPECT_EQ(filesIn(out).size(), 4u);
}

TEST_F(RejoinTest, PickingAChunkFindsTheInformationFile) {
    auto source = makeSet("a.b.c", 300000, 100000);
    auto dlg = makeDlg();
    rejoin(*dlg, out / "a.b.c.1.spl", back);
    EXPECT_FALSE(dlg->view().splitMode);
    EXPECT_EQ(dlg->view().sourceBox, (out / "a.b.c.sio").string());
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(readFile(back / "a.b.c"), readFile(source));
}

TEST_F(RejoinTest, RenamedInformationFileStillFindsChunksByTheStoredName) {
    auto source = makeSet("movie.avi", 250000, 100000);
    fs::rename(out / "movie.avi.sio", out / "x.sio");
    // Files that the deletion after the rejoin would look for under the new name.
    writeFile(out / "x.0.spl", "decoy");
    auto dlg = makeDlg();
    dlg->settings().removeAfterRejoin = true;
    rejoin(*dlg, out / "x.sio", back);
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(readFile(back / "movie.avi"), readFile(source));
    // The deletion follows the information file's own name: x.sio and x.0.spl go,
    // the chunks of movie.avi stay.
    EXPECT_EQ(filesIn(out), (std::vector<std::string>{"movie.avi.0.spl", "movie.avi.1.spl", "movie.avi.2.spl"}));
}

TEST_F(RejoinTest, RemoveSplitFilesAfterRejoin) {
    auto source = makeSet("r.bin", 250000, 100000);
    auto dlg = makeDlg();
    dlg->settings().removeAfterRejoin = true;
    rejoin(*dlg, out / "r.bin.sio", back);
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_TRUE(filesIn(out).empty());
    EXPECT_EQ(readFile(back / "r.bin"), readFile(source));
}

TEST_F(RejoinTest, StoredCountZeroGivesAnEmptyFile) {
    writeInfo(out / "empty.sio", 0, "empty", 0);
    auto dlg = makeDlg();
    rejoin(*dlg, out / "empty.sio", back);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kCompleted});
    ASSERT_TRUE(fs::exists(back / "empty"));
    EXPECT_EQ(sizeOf(back / "empty"), 0u);
}

TEST_F(RejoinTest, MissingChunkOfAnUndividedSetEndsAfterTwoOks) {
    makeSet("m.bin", 300000, 100000);
    fs::remove(out / "m.bin.1.spl");
    auto dlg = makeDlg();
    prompts.queue(Answer::Ok);
    prompts.queue(Answer::Ok);
    rejoin(*dlg, out / "m.bin.sio", back);
    // After stepping back, the previous chunk is asked for (the same file does not count twice).
    ASSERT_EQ(prompts.boxTexts(),
              (std::vector<std::string>{"Insert disk containing file m.bin.1.spl \n and press OK",
                                        "Insert disk containing file m.bin.0.spl \n and press OK",
                                        "Doubtful inconsistence of data..\n Click OK to abort and retry"}));
    EXPECT_EQ(prompts.boxes()[0].caption, "Continue ?");
    EXPECT_EQ(prompts.boxes()[0].buttons, Buttons::OkCancel);
    EXPECT_FALSE(fs::exists(back / "m.bin")) << "partial output left behind";
    EXPECT_TRUE(dlg->view().controlsEnabled);
}

TEST_F(RejoinTest, CancelAtTheMissingChunkPrompt) {
    makeSet("m.bin", 300000, 100000);
    fs::remove(out / "m.bin.2.spl");
    auto dlg = makeDlg();
    prompts.queue(Answer::Cancel);
    rejoin(*dlg, out / "m.bin.sio", back);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"Insert disk containing file m.bin.2.spl \n and press OK"});
    EXPECT_FALSE(fs::exists(back / "m.bin"));
}

TEST_F(RejoinTest, ShortLastChunkAsksForTheNextDisk) {
    auto source = makeSet("s.bin", 250000, 100000);
    // The last chunk was divided: its second half is still "on the next disk".
    std::string last = readFile(out / "s.bin.2.spl");
    writeFile(out / "s.bin.2.spl", last.substr(0, 20000));
    auto dlg = makeDlg();
    prompts.onBox = [&](const MessageBoxRequest& box) {
        if (box.text == texts::kInsertNextDisk) writeFile(out / "s.bin.2.spl", last.substr(20000));
    };
    prompts.queue(Answer::Ok);
    rejoin(*dlg, out / "s.bin.sio", back);
    ASSERT_EQ(prompts.boxTexts(), (std::vector<std::string>{"Insert next disk and click OK", texts::kCompleted}));
    EXPECT_EQ(prompts.boxes()[0].caption, "Continue ?");
    EXPECT_EQ(readFile(back / "s.bin"), readFile(source));
}

TEST_F(RejoinTest, ChunkDividedBetweenTwoDisksIsAppendedFromTheNextDisk) {
    auto source = makeSet("d.bin", 250000, 100000);
    // Chunk 1 was begun on the first disk and finished on the second one.
    std::string one = readFile(out / "d.bin.1.spl"), two = readFile(out / "d.bin.2.spl");
    writeFile(out / "d.bin.1.spl", one.substr(0, 30000));
    fs::remove(out / "d.bin.2.spl");
    auto dlg = makeDlg();
    prompts.onBox = [&](const MessageBoxRequest& box) {
        if (box.caption != "Continue ?") return;
        for (const auto& name : {"d.bin.sio", "d.bin.0.spl", "d.bin.1.spl"}) fs::remove(out / name);
        writeFile(out / "d.bin.1.spl", one.substr(30000));
        writeFile(out / "d.bin.2.spl", two);
    };
    prompts.queue(Answer::Ok);
    rejoin(*dlg, out / "d.bin.sio", back);
    EXPECT_EQ(prompts.boxTexts(),
              (std::vector<std::string>{"Insert disk containing file d.bin.2.spl \n and press OK", texts::kCompleted}));
    EXPECT_EQ(readFile(back / "d.bin"), readFile(source));
}

class MalformedInfo : public RejoinTest, public ::testing::WithParamInterface<int> {};

TEST_P(MalformedInfo, IsRefusedAndWritesNothing) {
    makeSet("v.bin", 250000, 100000);
    std::string good = readFile(out / "v.bin.sio");
    std::string bad = good;
    switch (GetParam()) {
    case 0: bad.resize(267); break;                                     // too short
    case 1: bad += '\0'; break;                                         // too long
    case 2: std::fill(bad.begin() + 4, bad.begin() + 264, 'n'); break;  // name not terminated
    case 3: {                                                           // name leaving the destination
        std::string name = "../escaped";
        std::fill(bad.begin() + 4, bad.begin() + 264, '\0');
        std::copy(name.begin(), name.end(), bad.begin() + 4);
        break;
    }
    case 4: bad[0] = 0; break;   // no chunks for 250,000 bytes
    case 5: bad.clear(); break;  // empty
    }
    writeFile(out / "v.bin.sio", bad);
    auto dlg = makeDlg();
    rejoin(*dlg, out / "v.bin.sio", back);
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text.rfind(texts::kBadInfoFilePrefix, 0), 0u) << prompts.boxes()[0].text;
    EXPECT_TRUE(filesIn(back).empty());
    EXPECT_FALSE(fs::exists(dir() / "escaped"));
    EXPECT_TRUE(dlg->view().controlsEnabled);
}

INSTANTIATE_TEST_SUITE_P(Forms, MalformedInfo, ::testing::Range(0, 6));

TEST_F(RejoinTest, ChunkThatFailsWhileReadIsNotReportedAsSuccess) {
    makeSet("e.bin", 250000, 100000);
    // A chunk that opens but cannot be read.
    fs::remove(out / "e.bin.1.spl");
    fs::create_directory(out / "e.bin.1.spl");
    auto dlg = makeDlg();
    rejoin(*dlg, out / "e.bin.sio", back);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{"Error reading file"});
    EXPECT_FALSE(fs::exists(back / "e.bin")) << "partial output left behind";
}

TEST_F(RejoinTest, LongerChunksThanTheStoredSizeAreRefused) {
    makeSet("l.bin", 250000, 100000);
    writeFile(out / "l.bin.2.spl", std::string(100000, 'x'));  // last chunk should be 50,000
    auto dlg = makeDlg();
    rejoin(*dlg, out / "l.bin.sio", back);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kSetDoesNotMatch});
    EXPECT_FALSE(fs::exists(back / "l.bin"));
}

TEST_F(RejoinTest, ExistingFileIsReplacedOnlyWhenTheUserAgrees) {
    auto source = makeSet("x.bin", 250000, 100000);
    writeFile(back / "x.bin", "precious");
    const std::string question = (back / "x.bin").string() + " already exists.\n Replace it with the rejoined file?";

    auto dlg = makeDlg();
    prompts.queue(Answer::No);
    rejoin(*dlg, out / "x.bin.sio", back);
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text, question);
    EXPECT_EQ(prompts.boxes()[0].buttons, Buttons::YesNo);
    EXPECT_EQ(prompts.boxes()[0].defaultButton, 1) << "No is the default";
    EXPECT_EQ(readFile(back / "x.bin"), "precious");
    EXPECT_EQ(filesIn(back), std::vector<std::string>{"x.bin"});
    EXPECT_TRUE(dlg->view().controlsEnabled);

    prompts.queue(Answer::Yes);
    rejoin(*dlg, out / "x.bin.sio", back);
    EXPECT_EQ(prompts.boxTexts(), (std::vector<std::string>{question, question, texts::kCompleted}));
    EXPECT_TRUE(readFile(back / "x.bin") == readFile(source));
    EXPECT_EQ(filesIn(back), std::vector<std::string>{"x.bin"});
}

TEST_F(RejoinTest, FailedRejoinLeavesTheExistingFileAsItWas) {
    makeSet("e.bin", 250000, 100000);
    fs::remove(out / "e.bin.2.spl");
    writeFile(back / "e.bin", "precious");
    auto dlg = makeDlg();
    prompts.queue(Answer::Yes);     // replace it
    prompts.queue(Answer::Cancel);  // at "Insert disk containing file e.bin.2.spl"
    rejoin(*dlg, out / "e.bin.sio", back);
    EXPECT_FALSE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(readFile(back / "e.bin"), "precious");
    EXPECT_EQ(filesIn(back), std::vector<std::string>{"e.bin"}) << "temporary left behind";
}

TEST_F(RejoinTest, OutputNameTakenByAFolderIsRefused) {
    makeSet("f.bin", 250000, 100000);
    fs::create_directory(back / "f.bin");
    auto dlg = makeDlg();
    rejoin(*dlg, out / "f.bin.sio", back);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{(back / "f.bin").string() + texts::kOutputIsFolderSuffix});
    EXPECT_TRUE(fs::is_directory(back / "f.bin"));
}

TEST_F(RejoinTest, CancelDuringARejoinDeletesThePartialOutput) {
    makeSet("c.bin", 1000000, 100000);
    auto dlg = makeDlg();
    bool asked = false;
    dlg->setCheckpointHook([&](long chunk) {
        if (chunk == 4 && !asked) {
            asked = true;
            prompts.queue(Answer::Cancel);
            dlg->OnCancelOperation();  // as if the window's Cancel were pressed right now
        }
    });
    rejoin(*dlg, out / "c.bin.sio", back);
    EXPECT_TRUE(prompts.shown(texts::kSuspended));
    EXPECT_FALSE(prompts.shown(texts::kCompleted));
    EXPECT_FALSE(fs::exists(back / "c.bin"));
    EXPECT_EQ(filesIn(out).size(), 11u);
}

TEST_F(RejoinTest, InterruptCancelsTheRejoinAndKeepsTheExistingFile) {
    makeSet("i.bin", 1000000, 100000);
    writeFile(back / "i.bin", "precious");
    quarva::platform::installInterruptHandlers();
    auto dlg = makeDlg();
    dlg->setReplaceExisting(ReplaceExisting::Replace);
    dlg->setCheckpointHook([&](long chunk) {
        if (chunk == 4 && !quarva::platform::interruptRequested()) raise(SIGINT);
    });
    rejoin(*dlg, out / "i.bin.sio", back);
    EXPECT_TRUE(quarva::platform::interruptRequested());
    quarva::platform::clearInterrupt();
    EXPECT_TRUE(prompts.boxTexts().empty()) << ::testing::PrintToString(prompts.boxTexts());
    EXPECT_EQ(readFile(back / "i.bin"), "precious");
    EXPECT_EQ(filesIn(back), std::vector<std::string>{"i.bin"});
    EXPECT_TRUE(dlg->view().controlsEnabled);
}

TEST_F(RejoinTest, OutputThatWouldReplaceTheInformationFileIsRefused) {
    makeSet("z.bin", 250000, 100000);
    // An information file named like the file it describes, rejoined into its own folder.
    fs::rename(out / "z.bin.sio", out / "z.bin");
    fs::copy_file(out / "z.bin", out / "z.bin.sio");
    std::string before = readFile(out / "z.bin");
    auto dlg = makeDlg();
    dlg->SetMode(false);
    dlg->OnFileChosen((out / "z.bin").string(), out.string());  // "Enter .sio file"
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kEnterSio});
    dlg->OnFolderChosen(out.string());
    dlg->OnAction();
    EXPECT_EQ(prompts.boxTexts().back(), texts::kOutputIsInfoFile);
    EXPECT_EQ(readFile(out / "z.bin"), before);
}
