#include <algorithm>
#include <iostream>
#include <unistd.h>

#include "platform/Prompts.h"

namespace quarva::platform {

std::vector<Answer> buttonAnswers(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok: return {Answer::Ok};
    case Buttons::OkCancel: return {Answer::Ok, Answer::Cancel};
    case Buttons::AbortRetryIgnore: return {Answer::Abort, Answer::Retry, Answer::Ignore};
    case Buttons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
    case Buttons::YesNo: return {Answer::Yes, Answer::No};
    case Buttons::RetryCancel: return {Answer::Retry, Answer::Cancel};
    }
    return {Answer::Ok};
}

Answer defaultAnswer(const MessageBoxRequest& request) {
    auto answers = buttonAnswers(request.buttons);
    int i = request.defaultButton;
    return i >= 0 && i < static_cast<int>(answers.size()) ? answers[static_cast<std::size_t>(i)] : answers.front();
}

static const char* answerWord(Answer a) {
    switch (a) {
    case Answer::Ok: return "ok";
    case Answer::Cancel: return "cancel";
    case Answer::Abort: return "abort";
    case Answer::Retry: return "retry";
    case Answer::Ignore: return "ignore";
    case Answer::Yes: return "yes";
    case Answer::No: return "no";
    }
    return "?";
}

ConsolePrompts::ConsolePrompts(bool interactive, std::optional<Answer> fixed)
    : interactive_(interactive && isatty(STDIN_FILENO)), fixed_(fixed) {}

Answer ConsolePrompts::messageBox(const MessageBoxRequest& request) {
    auto answers = buttonAnswers(request.buttons);
    std::cerr << "[" << request.caption << "] " << request.text << "\n";
    if (answers.size() == 1) return answers.front();
    if (fixed_ && std::find(answers.begin(), answers.end(), *fixed_) != answers.end()) {
        std::cerr << "  -> " << answerWord(*fixed_) << "\n";
        return *fixed_;
    }
    if (!interactive_) {
        Answer a = defaultAnswer(request);
        std::cerr << "  -> " << answerWord(a) << " (no one to ask)\n";
        return a;
    }
    for (;;) {
        std::cerr << "  (";
        for (std::size_t i = 0; i < answers.size(); ++i) std::cerr << (i ? "/" : "") << answerWord(answers[i]);
        std::cerr << ")? ";
        std::string line;
        if (!std::getline(std::cin, line)) return defaultAnswer(request);
        for (Answer a : answers)
            if (!line.empty() && std::string(answerWord(a)).starts_with(line)) return a;
    }
}

std::optional<std::string> ConsolePrompts::askText(const TextRequest& request) {
    std::cerr << "[" << request.caption << "] " << request.text << "\n";
    if (!interactive_) return std::nullopt;
    std::cerr << "  > ";
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    return line;
}

std::optional<std::filesystem::path> ConsolePrompts::chooseFile(const FileRequest& request) {
    std::cerr << "[" << request.title << "]\n";
    if (!interactive_) return std::nullopt;
    std::cerr << "  path> ";
    std::string line;
    if (!std::getline(std::cin, line) || line.empty()) return std::nullopt;
    return std::filesystem::path(line);
}

}  // namespace quarva::platform
