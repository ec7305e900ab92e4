#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <unistd.h>

#include "SplitterTestSupport.h"
#include "platform/Interrupt.h"
#include "splitter/SplitSet.h"

using namespace quarva::splitter;
using namespace quarva::splitter::testing;
using quarva::testing::readFile;

namespace {

std::string concatChunks(const fs::path& folder, const std::string& name, std::uint32_t count) {
    std::string all;
    for (std::uint32_t i = 0; i < count; ++i) all += readFile(folder / chunkFileName(name, i));
    return all;
}

SplitInfo readInfo(const fs::path& path) {
    std::string s = readFile(path);
    auto decoded = decodeInfo(std::vector<std::uint8_t>(s.begin(), s.end()));
    EXPECT_TRUE(decoded.info) << decoded.problem;
    return decoded.info.value_or(SplitInfo{});
}

}  // namespace

TEST_F(SplitterTest, ThreeMillionBytesMakeThreeFloppyChunks) {
    auto source = makeSource("movie.avi", 3000000);
    auto dlg = makeDlg();
    split(*dlg, source, out);

    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kCompleted});
    EXPECT_EQ(prompts.boxes().front().caption, "Quarva.Split");
    EXPECT_EQ(prompts.boxes().front().buttons, Buttons::Ok);
    EXPECT_EQ(prompts.boxes().front().icon, quarva::platform::Icon::None);  // plain boxes
    EXPECT_EQ(filesIn(out),
              (std::vector<std::string>{"movie.avi.0.spl", "movie.avi.1.spl", "movie.avi.2.spl", "movie.avi.sio"}));
    EXPECT_EQ(sizeOf(out / "movie.avi.0.spl"), 1457664u);
    EXPECT_EQ(sizeOf(out / "movie.avi.1.spl"), 1457664u);
    EXPECT_EQ(sizeOf(out / "movie.avi.2.spl"), 84672u);
    EXPECT_EQ(sizeOf(out / "movie.avi.sio"), 268u);
    SplitInfo info = readInfo(out / "movie.avi.sio");
    EXPECT_EQ(info.count, 3u);
    EXPECT_EQ(info.name, "movie.avi");
    EXPECT_EQ(info.size, 3000000u);
    EXPECT_EQ(concatChunks(out, "movie.avi", 3), readFile(source));

    auto v = dlg->view();
    EXPECT_TRUE(v.controlsEnabled);
    EXPECT_FALSE(v.progressBarVisible);
    EXPECT_FALSE(v.progressLabelVisible);
    EXPECT_FALSE(dlg->busy());
}

TEST_F(SplitterTest, ExactMultipleGivesAFullLastChunkAndNoEmptyOne) {
    auto source = makeSource("exact.bin", 2 * 1457664);
    auto dlg = makeDlg();
    split(*dlg, source, out);
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(filesIn(out), (std::vector<std::string>{"exact.bin.0.spl", "exact.bin.1.spl", "exact.bin.sio"}));
    EXPECT_EQ(sizeOf(out / "exact.bin.1.spl"), 1457664u);
    EXPECT_EQ(readInfo(out / "exact.bin.sio").count, 2u);
}

TEST_F(SplitterTest, TenMegabyteFileWithTenMegabyteChunksIsNotSplit) {
    auto source = makeSource("ten.bin", 10000000);
    auto dlg = makeDlg();
    dlg->ChooseSize(SizeChoice::TenMb);
    EXPECT_EQ(dlg->view().status[2], "10 MB");
    split(*dlg, source, out);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kChunkSameSize});
    EXPECT_TRUE(filesIn(out).empty()) << "the information file must not stay behind";
}

TEST_F(SplitterTest, FourFilesOfAMillionBytes) {
    auto source = makeSource("m.bin", 1000000);
    auto dlg = makeDlg(SizeChoice::Files, "4");
    split(*dlg, source, out);
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(dlg->chunkSize(), 250002u);
    EXPECT_EQ(readInfo(out / "m.bin.sio").count, 4u);
    EXPECT_EQ(sizeOf(out / "m.bin.0.spl"), 250002u);
    EXPECT_EQ(sizeOf(out / "m.bin.3.spl"), 1000000u - 3 * 250002u);
    EXPECT_EQ(concatChunks(out, "m.bin", 4), readFile(source));
}

TEST_F(SplitterTest, FiveFilesOfTenBytesGiveThreeChunks) {
    auto source = makeSource("ten", 10);
    auto dlg = makeDlg(SizeChoice::Files, "5");
    split(*dlg, source, out);
    EXPECT_EQ(dlg->chunkSize(), 4u);
    EXPECT_EQ(readInfo(out / "ten.sio").count, 3u);
    EXPECT_EQ(sizeOf(out / "ten.2.spl"), 2u);
}

TEST_F(SplitterTest, KilobytesAreDecimal) {
    auto source = makeSource("k.bin", 3200000);
    auto dlg = makeDlg();
    dlg->ChooseSize(SizeChoice::KiloBytes);
    EXPECT_EQ(dlg->view().status[2], "Custom [KB]");
    EXPECT_EQ(dlg->view().customLabel, "In kilo bytes:");
    dlg->SetCustomSizeText("1500");
    split(*dlg, source, out);
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(sizeOf(out / "k.bin.0.spl"), 1500000u);
    EXPECT_EQ(sizeOf(out / "k.bin.1.spl"), 1500000u);
    EXPECT_EQ(sizeOf(out / "k.bin.2.spl"), 200000u);
    // A finished split clears the custom size; the chunk size keeps its value.
    EXPECT_FALSE(dlg->customSize());
    EXPECT_FALSE(dlg->view().customBoxVisible);
    EXPECT_EQ(dlg->chunkSize(), 1500000u);
}

TEST_F(SplitterTest, LargeChunksMoveInPassesOfThreeMillionBytes) {
    auto source = makeSource("big.bin", 10000000);
    auto dlg = makeDlg();
    std::vector<int> positions;
    std::vector<std::string> labels;
    std::mutex m;
    dlg->setObserver([&](const SplitterView& v) {
        std::lock_guard lock(m);
        if (v.progressBarVisible && (positions.empty() || positions.back() != v.progressPos)) {
            positions.push_back(v.progressPos);
            labels.push_back(v.progressLabel);
        }
    });
    dlg->ChooseSize(SizeChoice::Bytes);
    dlg->SetCustomSizeText("7000000");
    split(*dlg, source, out);
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    // Chunk 0 in passes of 3,000,000, 3,000,000 and 1,000,000 bytes; chunk 1 in one piece.
    EXPECT_EQ(positions, (std::vector<int>{0, 30, 60, 70, 100}));
    ASSERT_GE(labels.size(), 4u);
    EXPECT_EQ(labels[1], "Processed: 1\nRemaining: 1");
    EXPECT_EQ(sizeOf(out / "big.bin.0.spl"), 7000000u);
    EXPECT_EQ(sizeOf(out / "big.bin.1.spl"), 3000000u);
}

TEST_F(SplitterTest, EmptyCustomBoxEndsQuietly) {
    auto source = makeSource("q.bin", 5000);
    auto dlg = makeDlg();
    dlg->ChooseSize(SizeChoice::Bytes);
    split(*dlg, source, out);
    EXPECT_TRUE(prompts.boxes().empty());
    EXPECT_TRUE(filesIn(out).empty());
    EXPECT_TRUE(dlg->view().controlsEnabled);
}

struct RefusedSize {
    SizeChoice choice;
    const char* box;
    std::size_t fileSize;
    const char* message;
};

void PrintTo(const RefusedSize& p, std::ostream* os) { *os << p.box << "_" << static_cast<int>(p.choice); }

class SplitRefusal : public SplitterTest, public ::testing::WithParamInterface<RefusedSize> {};

TEST_P(SplitRefusal, ShowsItsMessageAndLeavesNothing) {
    const RefusedSize& p = GetParam();
    auto source = makeSource("r.bin", p.fileSize);
    auto dlg = makeDlg(p.choice, p.box);
    split(*dlg, source, out);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{p.message});
    EXPECT_TRUE(filesIn(out).empty());
    EXPECT_TRUE(dlg->view().controlsEnabled);
}

INSTANTIATE_TEST_SUITE_P(Table, SplitRefusal,
                         ::testing::Values(RefusedSize{SizeChoice::Files, "11", 10, texts::kCheckValues},
                                           RefusedSize{SizeChoice::Files, "0", 10, texts::kVerifyValues},
                                           RefusedSize{SizeChoice::Files, "-3", 10, texts::kCheckValues},
                                           RefusedSize{SizeChoice::Bytes, "20", 10, texts::kChunkTooLarge},
                                           RefusedSize{SizeChoice::Bytes, "10", 10, texts::kChunkSameSize},
                                           RefusedSize{SizeChoice::Bytes, "0", 10, texts::kChunkZero},
                                           RefusedSize{SizeChoice::Bytes, "-5", 10, texts::kCheckValues},
                                           // Products beyond 32 bits: refused, not wrapped round to a small chunk size.
                                           RefusedSize{SizeChoice::MegaBytes, "5000", 10, texts::kChunkSizeTooLarge},
                                           RefusedSize{SizeChoice::KiloBytes, "4294968", 10, texts::kChunkSizeTooLarge},
                                           RefusedSize{SizeChoice::Bytes, "99999999999999999999999", 10,
                                                       texts::kChunkSizeTooLarge},
                                           // 4,294,000,000 still fits 32 bits: the ordinary size check answers.
                                           RefusedSize{SizeChoice::MegaBytes, "4294", 10, texts::kChunkTooLarge}));

TEST_F(SplitterTest, SourcesOfFourGigabytesAreRefused) {
    fs::path source = src / "huge.bin";
    quarva::testing::writeFile(source, std::string());
    fs::resize_file(source, 0x100000000ull);  // sparse
    auto dlg = makeDlg();
    split(*dlg, source, out);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kSourceTooLarge});
    EXPECT_TRUE(filesIn(out).empty());
}

TEST_F(SplitterTest, MissingSourceOrDestinationIsRefused) {
    auto dlg = makeDlg();
    split(*dlg, src / "nothing.bin", out);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kSourceNotDefined});

    auto source = makeSource("s.bin", 5000);
    split(*dlg, source, dir() / "no-such-folder");
    EXPECT_EQ(prompts.boxTexts().back(), texts::kDestinationWrong);
    EXPECT_FALSE(fs::exists(dir() / "no-such-folder"));
}

TEST_F(SplitterTest, SourceThatCannotBeOpenedRemovesTheInformationFile) {
    auto source = makeSource("gone.bin", 5000);
    auto dlg = makeDlg();
    bool removed = false;
    // The worker's first change of the window: remove the source before it is opened.
    dlg->setObserver([&](const SplitterView& v) {
        if (!removed && v.progressBarVisible) {
            removed = true;
            fs::remove(source);
        }
    });
    dlg->ChooseSize(SizeChoice::Bytes);
    dlg->SetCustomSizeText("1000");
    split(*dlg, source, out);
    EXPECT_EQ(prompts.boxTexts(), std::vector<std::string>{texts::kErrorReadingPrefix + source.string()});
    EXPECT_TRUE(filesIn(out).empty());
}

TEST_F(SplitterTest, SourceShrinkingDuringTheSplitIsAFailureNotASuccess) {
    auto source = makeSource("shrink.bin", 1000000);
    auto dlg = makeDlg();
    dlg->setCheckpointHook([&](long chunk) {
        if (chunk == 1) fs::resize_file(source, 10);
    });
    dlg->ChooseSize(SizeChoice::Bytes);
    dlg->SetCustomSizeText("100000");
    split(*dlg, source, out);
    EXPECT_FALSE(prompts.shown(texts::kCompleted));
    EXPECT_TRUE(prompts.shown(texts::kErrorReadingPrefix + source.string()));
    EXPECT_TRUE(filesIn(out).empty()) << "partial set left behind";
}

TEST_F(SplitterTest, WriteFailureThatIsNotAFullDiskEndsTheRunAndRemovesTheSet) {
    std::signal(SIGPIPE, SIG_IGN);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    auto source = makeSource("p.bin", 3000000);
    // Chunk 1 is written into a pipe whose reader goes away after the first byte.
    fs::create_symlink("/proc/self/fd/" + std::to_string(pipeFds[1]), out / "p.bin.1.spl");
    std::thread reader([&] {
        char c;
        (void)!read(pipeFds[0], &c, 1);
        close(pipeFds[0]);
    });
    auto dlg = makeDlg();
    split(*dlg, source, out);
    reader.join();
    close(pipeFds[1]);
    EXPECT_FALSE(prompts.shown(texts::kCompleted));
    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0].text.rfind(texts::kWriteErrorPrefix + (out / "p.bin.1.spl").string(), 0), 0u)
        << prompts.boxes()[0].text;
    EXPECT_TRUE(filesIn(out).empty());
}

TEST_F(SplitterTest, CancelAtTheRetryQuestionRemovesTheSetButNotAFolderInTheWay) {
    auto source = makeSource("k.bin", 300000);
    // Chunk 1 cannot be created: a folder has its name.
    fs::create_directory(out / "k.bin.1.spl");
    auto dlg = makeDlg(SizeChoice::Bytes, "100000");
    prompts.queue(Answer::Cancel);
    split(*dlg, source, out);
    EXPECT_EQ(prompts.boxTexts().back(),
              "Operations on drive " + out.string() + " fixed media (or Network drive) unsuccessful\n");
    EXPECT_FALSE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(filesIn(out), std::vector<std::string>{"k.bin.1.spl"}) << "incomplete set left behind";
    EXPECT_TRUE(fs::is_directory(out / "k.bin.1.spl"));
    EXPECT_TRUE(dlg->view().controlsEnabled);
}

TEST_F(SplitterTest, InterruptEndsARetryLoop) {
    auto source = makeSource("k.bin", 300000);
    fs::create_directory(out / "k.bin.1.spl");
    quarva::platform::installInterruptHandlers();
    prompts.onBox = [&](const MessageBoxRequest& box) {
        if (box.caption == "Continue?") raise(SIGINT);  // Ctrl-C while the question is open
    };
    auto dlg = makeDlg(SizeChoice::Bytes, "100000");
    split(*dlg, source, out);
    quarva::platform::clearInterrupt();
    EXPECT_EQ(prompts.count("Operations on drive " + out.string() + " fixed media (or Network drive) unsuccessful\n"),
              1);
    EXPECT_EQ(filesIn(out), std::vector<std::string>{"k.bin.1.spl"});
}

TEST_F(SplitterTest, CancellingAfterThreeChunksDeletesTheSetUpToTheChunkBeingWritten) {
    auto source = makeSource("c.bin", 1000000);
    auto dlg = makeDlg();
    std::mutex m;
    std::condition_variable cv;
    bool atChunk3 = false, asked = false;
    // The worker stops after the first pass of chunk 3 until the window's Cancel has been
    // answered: let go earlier, it could finish the set before the Cancel takes hold.
    dlg->setCheckpointHook([&](long chunk) {
        if (chunk != 3) return;
        std::unique_lock lock(m);
        atChunk3 = true;
        cv.notify_all();
        cv.wait(lock, [&] { return asked; });
    });
    dlg->setPump([&] {
        std::unique_lock lock(m);
        if (!atChunk3 || asked) return;
        lock.unlock();
        prompts.queue(Answer::Cancel);
        dlg->OnCancelOperation();
        lock.lock();
        asked = true;
        cv.notify_all();
    });
    dlg->ChooseSize(SizeChoice::Bytes);
    dlg->SetCustomSizeText("100000");
    split(*dlg, source, out);

    ASSERT_FALSE(prompts.boxes().empty());
    const auto box = prompts.boxes().front();
    EXPECT_EQ(box.text, "The current operation is suspended.\n Continue?");
    EXPECT_EQ(box.caption, "User interruption");
    EXPECT_EQ(box.buttons, Buttons::OkCancel);
    EXPECT_FALSE(prompts.shown(texts::kCompleted));
    EXPECT_TRUE(filesIn(out).empty());
    EXPECT_TRUE(dlg->view().controlsEnabled);
    EXPECT_FALSE(dlg->view().progressBarVisible);
}

TEST_F(SplitterTest, AnsweringOkToTheSuspendQuestionGoesOn) {
    auto source = makeSource("o.bin", 1000000);
    auto dlg = makeDlg();
    bool asked = false;
    dlg->setPump([&] {
        if (asked) return;
        asked = true;
        prompts.queue(Answer::Ok);
        dlg->OnCancelOperation();
    });
    // Hold the worker until the question has been answered at least once.
    dlg->setCheckpointHook([&](long) {
        while (!prompts.shown(texts::kSuspended)) std::this_thread::yield();
    });
    dlg->ChooseSize(SizeChoice::Bytes);
    dlg->SetCustomSizeText("100000");
    split(*dlg, source, out);
    EXPECT_TRUE(prompts.shown(texts::kCompleted));
    EXPECT_EQ(readFile(out / "o.bin.9.spl").size(), 100000u);
}
