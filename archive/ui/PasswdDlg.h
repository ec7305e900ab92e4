#pragma once
// "Enter password": the password later adds and extractions use, optionally typed
// twice. The password box shows its text until "&Mask" is ticked.

#include <string>

#include <wx/dialog.h>

class wxCheckBox;
class wxTextCtrl;

namespace quarva::platform {
class Prompts;
}

namespace quarva::archive::ui {

class CPasswdDlg : public wxDialog {
public:
    CPasswdDlg(wxWindow* parent, platform::Prompts& prompts);
    // Before showing: the current password and whether it must be typed twice.
    void set(const std::string& password, bool confirmRequired);
    // After "OK".
    std::string password() const;

private:
    void onMask(wxCommandEvent&);
    void onOk(wxCommandEvent&);

    platform::Prompts& prompts_;
    bool confirmRequired_ = false;
    wxTextCtrl* plain_ = nullptr;   // the password box, unmasked
    wxTextCtrl* masked_ = nullptr;  // the same box while "&Mask" is ticked
    wxTextCtrl* reentered_ = nullptr;
    wxCheckBox* mask_ = nullptr;
};

}  // namespace quarva::archive::ui
