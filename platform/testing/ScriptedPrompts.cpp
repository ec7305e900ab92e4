#include "platform/testing/ScriptedPrompts.h"

namespace quarva::platform::testing {

void ScriptedPrompts::queue(Answer answer) {
    std::lock_guard lock(mutex_);
    replies_.emplace_back(answer);
}

void ScriptedPrompts::queueText(std::optional<std::string> text) {
    std::lock_guard lock(mutex_);
    replies_.emplace_back(std::move(text));
}

void ScriptedPrompts::queueFile(std::optional<std::filesystem::path> chosen) {
    std::lock_guard lock(mutex_);
    replies_.emplace_back(std::move(chosen));
}

Answer ScriptedPrompts::messageBox(const MessageBoxRequest& request) {
    std::lock_guard lock(mutex_);
    boxes_.push_back(request);
    if (!replies_.empty() && std::holds_alternative<Answer>(replies_.front())) {
        Answer a = std::get<Answer>(replies_.front());
        replies_.pop_front();
        return a;
    }
    ++unscripted_;
    return defaultAnswer(request);
}

std::optional<std::string> ScriptedPrompts::askText(const TextRequest& request) {
    std::lock_guard lock(mutex_);
    texts_.push_back(request);
    if (!replies_.empty() && std::holds_alternative<std::optional<std::string>>(replies_.front())) {
        auto a = std::get<std::optional<std::string>>(replies_.front());
        replies_.pop_front();
        return a;
    }
    ++unscripted_;
    return std::nullopt;
}

std::optional<std::filesystem::path> ScriptedPrompts::chooseFile(const FileRequest& request) {
    std::lock_guard lock(mutex_);
    files_.push_back(request);
    if (!replies_.empty() && std::holds_alternative<std::optional<std::filesystem::path>>(replies_.front())) {
        auto a = std::get<std::optional<std::filesystem::path>>(replies_.front());
        replies_.pop_front();
        return a;
    }
    ++unscripted_;
    return std::nullopt;
}

std::vector<MessageBoxRequest> ScriptedPrompts::boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<TextRequest> ScriptedPrompts::texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
}

std::vector<FileRequest> ScriptedPrompts::files() const {
    std::lock_guard lock(mutex_);
    return files_;
}

int ScriptedPrompts::unscripted() const {
    std::lock_guard lock(mutex_);
    return unscripted_;
}

std::size_t ScriptedPrompts::pending() const {
    std::lock_guard lock(mutex_);
    return replies_.size();
}

}  // namespace quarva::platform::testing
