#pragma once
// Prompts that may be asked from the job's worker thread: a question from another
// thread is handed to the window thread (CallAfter) and the asking thread waits for
// the answer, so that every dialog is shown on the window thread.

#include "platform/ui/WxPrompts.h"

namespace quarva::splitter::ui {

class CThreadPrompts : public platform::Prompts {
public:
    void setParent(wxWindow* parent) { inner_.setParent(parent); }
    platform::Answer messageBox(const platform::MessageBoxRequest& request) override;
    std::optional<std::string> askText(const platform::TextRequest& request) override;
    std::optional<std::filesystem::path> chooseFile(const platform::FileRequest& request) override;

private:
    platform::WxPrompts inner_;
};

}  // namespace quarva::splitter::ui
