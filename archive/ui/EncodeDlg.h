#pragma once
// "Encode...": a UU- or XX-encoded text copy of the open archive.

#include <string>

#include <wx/dialog.h>

class wxCheckBox;
class wxRadioButton;
class wxTextCtrl;

namespace quarva::platform {
class Prompts;
}

namespace quarva::archive::ui {

class CEncodeDlg : public wxDialog {
public:
    CEncodeDlg(wxWindow* parent, platform::Prompts& prompts, const std::string& source);
    // After "OK": where the encoder writes, the method (0 UU, 1 XX) and the table flag.
    std::string target() const { return target_; }
    int method() const { return method_; }
    bool writeTable() const { return writeTable_; }

private:
    void onBrowse(wxCommandEvent&);
    void onOk(wxCommandEvent&);

    platform::Prompts& prompts_;
    std::string source_;
    wxTextCtrl* targetBox_ = nullptr;
    wxRadioButton* uu_ = nullptr;
    wxCheckBox* table_ = nullptr;
    std::string target_;
    int method_ = 0;
    bool writeTable_ = false;
};

}  // namespace quarva::archive::ui
