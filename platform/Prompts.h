#pragma once
// Everything the logic asks the user goes through Prompts: message boxes, text
// questions (passwords), and file or folder choosers. The GUI answers with real
// dialogs, a run without a display answers on the console or with fixed answers,
// and tests answer from a script and check every box they were shown.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quarva::platform {

enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Icon { None, Stop, Question, Exclamation, Information };

// Answers, numbered as the platform numbers its dialog results.
enum class Answer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    int defaultButton = 0;  // 0-based index into the buttons
    bool operator==(const MessageBoxRequest&) const = default;
};

struct TextRequest {  // a one-line question, e.g. a password
    std::string text;
    std::string caption;
    std::string initial;
    bool secret = false;
};

struct FileRequest {
    enum class Kind { Open, Save, Folder } kind = Kind::Open;
    std::string title;
    std::filesystem::path initialFolder;
    std::string initialName;
    std::string filter;  // "Zip files (*.zip)|*.zip|All files (*.*)|*.*"
};

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual Answer messageBox(const MessageBoxRequest& request) = 0;
    // nullopt when the user cancels.
    virtual std::optional<std::string> askText(const TextRequest& request) = 0;
    virtual std::optional<std::filesystem::path> chooseFile(const FileRequest& request) = 0;

    // The shorthand most callers need.
    Answer message(std::string text, std::string caption, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
                   int defaultButton = 0) {
        return messageBox({std::move(text), std::move(caption), buttons, icon, defaultButton});
    }
};

// The answer a box gets when nobody can answer: the default button.
Answer defaultAnswer(const MessageBoxRequest& request);
std::vector<Answer> buttonAnswers(Buttons buttons);

// For runs without a display: prints every box on stderr; answers from the terminal
// when stdin is one and `interactive` is set, otherwise with the default button
// (or with `fixed` when given and offered by the box).
class ConsolePrompts : public Prompts {
public:
    explicit ConsolePrompts(bool interactive, std::optional<Answer> fixed = std::nullopt);
    Answer messageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> askText(const TextRequest& request) override;
    std::optional<std::filesystem::path> chooseFile(const FileRequest& request) override;

private:
    bool interactive_;
    std::optional<Answer> fixed_;
};

}  // namespace quarva::platform
