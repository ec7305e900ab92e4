#pragma once
// The settings pane below the splitter window's controls: the two file-operation
// options and the startup and working folders, edited in the window model's pane and
// stored in the registry store by its OK.

#include <functional>

#include <wx/panel.h>

#include "platform/Prompts.h"
#include "splitter/SplitSettings.h"

class wxCheckBox;
class wxTextCtrl;

namespace quarva::splitter::ui {

class CSettingsPaneWnd : public wxPanel {
public:
    // `done` gets the word the pane tells the window: CSettingsPane::kDoneOk or kDoneCancel.
    CSettingsPaneWnd(wxWindow* parent, CSettingsPane& pane, CSplitSettings& settings, platform::Prompts& prompts,
                     std::function<void(int word)> done);
    // Shows what the model's pane holds (when the pane opens).
    void Load();

private:
    void OnOk();
    void ChooseFolder(wxTextCtrl* box);

    CSettingsPane& pane_;
    CSplitSettings& settings_;
    platform::Prompts& prompts_;
    std::function<void(int)> done_;
    wxCheckBox* removeAfterRejoin_ = nullptr;
    wxCheckBox* eraseBeforeSplit_ = nullptr;
    wxTextCtrl* startupBox_ = nullptr;
    wxTextCtrl* workingBox_ = nullptr;
};

}  // namespace quarva::splitter::ui
