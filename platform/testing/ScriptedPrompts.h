#pragma once
// Test double for Prompts: answers from a queue and records every request, so a
// test can check the exact text, caption, buttons and icon of each box.
// A box asked with an empty queue is answered with its default button and recorded
// as unscripted, which a test can assert against.

#include <deque>
#include <mutex>
#include <variant>

#include "platform/Prompts.h"

namespace quarva::platform::testing {

class ScriptedPrompts : public Prompts {
public:
    using Reply = std::variant<Answer, std::optional<std::string>, std::optional<std::filesystem::path>>;

    void queue(Answer answer);
    void queueText(std::optional<std::string> text);              // nullopt = cancelled
    void queueFile(std::optional<std::filesystem::path> chosen);  // nullopt = cancelled

    Answer messageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> askText(const TextRequest& request) override;
    std::optional<std::filesystem::path> chooseFile(const FileRequest& request) override;

    std::vector<MessageBoxRequest> boxes() const;
    std::vector<TextRequest> texts() const;
    std::vector<FileRequest> files() const;
    int unscripted() const;
    std::size_t pending() const;

private:
    mutable std::mutex mutex_;
    std::deque<Reply> replies_;
    std::vector<MessageBoxRequest> boxes_;
    std::vector<TextRequest> texts_;
    std::vector<FileRequest> files_;
    int unscripted_ = 0;
};

}  // namespace quarva::platform::testing
