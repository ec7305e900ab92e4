// The split and rejoin jobs driven without the window model, as automation and the
// headless front end drive them.
#include <gtest/gtest.h>

#include "SplitterTestSupport.h"
#include "splitter/OperationJob.h"

using namespace quarva::splitter;
using namespace quarva::splitter::testing;
using quarva::testing::readFile;

namespace {

JobRequest splitRequest(const fs::path& source, const fs::path& dest, const std::string& bytes) {
    JobRequest r;
    r.split = true;
    r.sourcePath = source.string();
    r.destFolder = dest.string();
    r.customSize = true;
    r.multiplier = 1;
    r.customText = bytes;
    return r;
}

}  // namespace

TEST_F(SplitterTest, JobsSplitAndRejoinOnTheirOwnAndReportTheirEnd) {
    auto source = makeSource("j.bin", 250000);
    std::vector<std::string> seen;  // events and boxes, in order
    prompts.onBox = [&](const MessageBoxRequest& box) { seen.push_back("box:" + box.text); };
    JobEvents events;
    int progressCalls = 0;
    events.began = [&] { seen.push_back("began"); };
    events.progress = [&](int, const std::string&) { ++progressCalls; };
    events.ended = [&](JobEnd end, std::uint32_t chunk) {
        seen.push_back(end == JobEnd::Completed ? "completed" : "not completed");
        EXPECT_EQ(chunk, 100000u);
    };

    auto split = COperationJob::create(splitRequest(source, out, "100000"), prompts, events);
    EXPECT_EQ(split->run(), 0);
    EXPECT_TRUE(split->completed());
    EXPECT_EQ(split->chunkCount(), 3u);
    EXPECT_EQ(seen, (std::vector<std::string>{"began", "completed", std::string("box:") + texts::kCompleted}));
    EXPECT_EQ(filesIn(out).size(), 4u);

    JobRequest rejoin;
    rejoin.split = false;
    rejoin.sourcePath = (out / "j.bin.sio").string();
    rejoin.destFolder = back.string();
    ASSERT_TRUE(checkJobRequest(rejoin, prompts));
    int pieces = 0;
    JobEvents rejoinEvents;
    rejoinEvents.pieceDone = [&] { ++pieces; };
    auto job = COperationJob::create(rejoin, prompts, rejoinEvents);
    job->start();
    while (!job->waitFor(std::chrono::milliseconds(10))) {}
    job->join();
    EXPECT_TRUE(job->completed());
    EXPECT_EQ(pieces, 3);
    EXPECT_EQ(readFile(back / "j.bin"), readFile(source));
}

TEST_F(SplitterTest, CancelTokenStopsAJobAndItsSetGoes) {
    auto source = makeSource("c.bin", 1000000);
    JobEvents events;
    std::unique_ptr<COperationJob> job;
    events.checkpoint = [&](long chunk) {
        if (chunk == 2) job->control().cancel();
    };
    JobEnd end = JobEnd::Completed;
    events.ended = [&](JobEnd e, std::uint32_t) { end = e; };
    job = COperationJob::create(splitRequest(source, out, "100000"), prompts, events);
    EXPECT_NE(job->run(), 0);
    EXPECT_EQ(end, JobEnd::Cancelled);
    EXPECT_FALSE(prompts.shown(texts::kCompleted));
    EXPECT_TRUE(filesIn(out).empty());
}

TEST_F(SplitterTest, RequestChecksComeBeforeAnyJob) {
    JobRequest r = splitRequest(src / "none.bin", out, "10");
    EXPECT_FALSE(checkJobRequest(r, prompts));
    r.sourcePath = makeSource("s.bin", 10).string();
    r.destFolder = (dir() / "missing").string();
    EXPECT_FALSE(checkJobRequest(r, prompts));
    r.destFolder.clear();
    EXPECT_FALSE(checkJobRequest(r, prompts));
    EXPECT_EQ(prompts.boxTexts(),
              (std::vector<std::string>{texts::kSourceNotDefined, texts::kDestinationWrong, texts::kDestinationWrong}));
}
