#include "archive/ui/UiTrace.h"

#include <cstdlib>
#include <utility>

namespace quarva::archive::ui {

std::unique_ptr<CUiTrace> CUiTrace::fromEnvironment() {
    const char* path = std::getenv("QUARVA_UI_TRACE");
    if (!path || !*path) return nullptr;
    std::FILE* file = std::fopen(path, "a");
    return file ? std::make_unique<CUiTrace>(file) : nullptr;
}

CUiTrace::~CUiTrace() { std::fclose(file_); }

void CUiTrace::write(const std::string& line) {
    // One line per record: line ends inside a text are shown as "\n".
    std::string flat;
    for (char c : line) flat += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    std::fprintf(file_, "%s\n", flat.c_str());
    std::fflush(file_);
}

void CUiTrace::writeBox(const platform::MessageBoxRequest& box) {
    using platform::Buttons;
    using platform::Icon;
    static constexpr std::pair<Buttons, const char*> kButtons[] = {
        {Buttons::Ok, "OK"},
        {Buttons::OkCancel, "OK Cancel"},
        {Buttons::AbortRetryIgnore, "Abort Retry Ignore"},
        {Buttons::YesNoCancel, "Yes No Cancel"},
        {Buttons::YesNo, "Yes No"},
        {Buttons::RetryCancel, "Retry Cancel"},
    };
    static constexpr std::pair<Icon, const char*> kIcons[] = {
        {Icon::None, "no icon"},
        {Icon::Stop, "stop"},
        {Icon::Question, "question"},
        {Icon::Exclamation, "exclamation"},
        {Icon::Information, "information"},
    };
    std::string buttons, icon;
    for (const auto& [b, name] : kButtons)
        if (b == box.buttons) buttons = name;
    for (const auto& [i, name] : kIcons)
        if (i == box.icon) icon = name;
    write("box: " + box.caption + " | " + box.text + " | " + buttons + " | " + icon);
}

}  // namespace quarva::archive::ui
