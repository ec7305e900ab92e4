#pragma once
// "Save As...": the open archive converted to another format. Picking a type
// gives the target that type's extension.

#include <string>

#include <wx/dialog.h>

class wxBoxSizer;
class wxButton;
class wxChoice;
class wxTextCtrl;

namespace quarva::platform {
class Prompts;
}

namespace quarva::archive::ui {

// The source row (shown, disabled), the target row with "..." and "OK"/"Cancel";
// returns the sizer for the dialog's own controls.
wxBoxSizer* buildSourceTargetDialog(wxDialog& dialog, const std::string& source, wxTextCtrl*& target,
                                    wxButton*& browse);

class CSaveAsDlg : public wxDialog {
public:
    CSaveAsDlg(wxWindow* parent, platform::Prompts& prompts, const std::string& source);
    std::string target() const { return target_; }
    int typeIndex() const { return typeIndex_; }

private:
    void onType(wxCommandEvent&);
    void onBrowse(wxCommandEvent&);
    void onOk(wxCommandEvent&);
    void showTarget(const std::string& target);

    platform::Prompts& prompts_;
    wxTextCtrl* targetBox_ = nullptr;
    wxChoice* type_ = nullptr;
    std::string target_;
    int typeIndex_ = 0;
};

}  // namespace quarva::archive::ui
