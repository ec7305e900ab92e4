// Message boxes without a display, and the scripted prompts tests rely on.

#include "platform/Prompts.h"
#include "platform/testing/ScriptedPrompts.h"

#include <gtest/gtest.h>

using namespace quarva::platform;
using quarva::platform::testing::ScriptedPrompts;

namespace {

TEST(Prompts, DefaultAnswerIsTheDefaultButton) {
    EXPECT_EQ(defaultAnswer({"t", "c", Buttons::YesNo, Icon::Question, 0}), Answer::Yes);
    EXPECT_EQ(defaultAnswer({"t", "c", Buttons::YesNo, Icon::Question, 1}), Answer::No);
    EXPECT_EQ(defaultAnswer({"t", "c", Buttons::YesNoCancel, Icon::None, 2}), Answer::Cancel);
    EXPECT_EQ(defaultAnswer({"t", "c", Buttons::RetryCancel, Icon::None, 7}), Answer::Retry);
    EXPECT_EQ(defaultAnswer({"t", "c", Buttons::OkCancel, Icon::None, -1}), Answer::Ok);
    EXPECT_EQ(buttonAnswers(Buttons::AbortRetryIgnore),
              (std::vector<Answer>{Answer::Abort, Answer::Retry, Answer::Ignore}));
    EXPECT_EQ(static_cast<int>(Answer::Yes), 6);
    EXPECT_EQ(static_cast<int>(Answer::No), 7);
}

TEST(ConsolePrompts, WithoutAnyoneToAskTheDefaultButtonAnswers) {
    ConsolePrompts prompts(false);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(prompts.message("Replace the file?", "Quarva.Zip Suite", Buttons::YesNo, Icon::Question, 1), Answer::No);
    EXPECT_EQ(prompts.message("Done.", "Quarva.Zip Suite"), Answer::Ok);
    EXPECT_EQ(prompts.askText({"Password:", "Quarva.Zip Suite", "", true}), std::nullopt);
    EXPECT_EQ(prompts.chooseFile({FileRequest::Kind::Open, "Open archive", {}, "", ""}), std::nullopt);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("[Quarva.Zip Suite] Replace the file?"), std::string::npos) << err;
    EXPECT_NE(err.find("-> no"), std::string::npos) << err;
    EXPECT_NE(err.find("[Quarva.Zip Suite] Done."), std::string::npos) << err;
    EXPECT_NE(err.find("[Open archive]"), std::string::npos) << err;
}

TEST(ConsolePrompts, AFixedAnswerIsUsedWhenTheBoxOffersIt) {
    ConsolePrompts prompts(false, Answer::Yes);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(prompts.message("Overwrite?", "c", Buttons::YesNoCancel, Icon::Question, 2), Answer::Yes);
    EXPECT_EQ(prompts.message("Insert the next disk.", "c", Buttons::RetryCancel, Icon::None, 1), Answer::Cancel);
    EXPECT_EQ(prompts.message("Info", "c", Buttons::Ok), Answer::Ok);
    ::testing::internal::GetCapturedStderr();
}

TEST(ScriptedPrompts, AnswersFromTheQueueAndRecordsEveryRequest) {
    ScriptedPrompts prompts;
    prompts.queue(Answer::No);
    prompts.queueText(std::string("secret"));
    prompts.queueFile(std::filesystem::path("/tmp/a.zip"));
    prompts.queueText(std::nullopt);

    EXPECT_EQ(prompts.message("Delete?", "Quarva.Zip Suite", Buttons::YesNo, Icon::Question), Answer::No);
    EXPECT_EQ(prompts.askText({"Password", "Quarva.Zip Suite", "", true}), "secret");
    EXPECT_EQ(prompts.chooseFile({FileRequest::Kind::Save, "Save as", "/tmp", "a.zip", "Zip files (*.zip)|*.zip"}),
              std::filesystem::path("/tmp/a.zip"));
    EXPECT_EQ(prompts.askText({"Password again", "c", "", true}), std::nullopt);
    EXPECT_EQ(prompts.unscripted(), 0);
    EXPECT_EQ(prompts.pending(), 0u);

    ASSERT_EQ(prompts.boxes().size(), 1u);
    EXPECT_EQ(prompts.boxes()[0],
              (MessageBoxRequest{"Delete?", "Quarva.Zip Suite", Buttons::YesNo, Icon::Question, 0}));
    ASSERT_EQ(prompts.texts().size(), 2u);
    EXPECT_TRUE(prompts.texts()[0].secret);
    ASSERT_EQ(prompts.files().size(), 1u);
    EXPECT_EQ(prompts.files()[0].kind, FileRequest::Kind::Save);
    EXPECT_EQ(prompts.files()[0].initialName, "a.zip");
}

TEST(ScriptedPrompts, AnUnscriptedBoxGetsItsDefaultAndIsCounted) {
    ScriptedPrompts prompts;
    prompts.queueText(std::string("not for a box"));
    EXPECT_EQ(prompts.message("Continue?", "c", Buttons::YesNo, Icon::Question, 1), Answer::No);
    EXPECT_EQ(prompts.unscripted(), 1);
    EXPECT_EQ(prompts.pending(), 1u) << "a reply of the wrong kind stays queued";
    EXPECT_EQ(prompts.chooseFile({}), std::nullopt);
    EXPECT_EQ(prompts.unscripted(), 2);
    EXPECT_EQ(prompts.askText({}), "not for a box");
    EXPECT_EQ(prompts.boxes().size(), 1u);
}

}  // namespace
