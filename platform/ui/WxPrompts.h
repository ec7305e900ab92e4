#pragma once
// Prompts answered by real wx dialogs, owned by the given parent window.

#include <functional>

#include "platform/Prompts.h"

class wxWindow;

namespace quarva::platform {

class WxPrompts : public Prompts {
public:
    explicit WxPrompts(wxWindow* parent = nullptr) : parent_(parent) {}
    void setParent(wxWindow* parent) { parent_ = parent; }
    // Called with every message box just before it shows (a trace for tests and bug
    // reports).
    void setObserver(std::function<void(const MessageBoxRequest&)> observer) { observer_ = std::move(observer); }

    Answer messageBox(const MessageBoxRequest& request) override;
    std::optional<std::string> askText(const TextRequest& request) override;
    std::optional<std::filesystem::path> chooseFile(const FileRequest& request) override;

private:
    wxWindow* parent_;
    std::function<void(const MessageBoxRequest&)> observer_;
};

}  // namespace quarva::platform
