#pragma once
// "Rename <name> To:": the archive file's new name in its own folder.

#include <string>

#include <wx/dialog.h>

class wxTextCtrl;

namespace quarva::platform {
class Prompts;
}

namespace quarva::archive::ui {

class CRenameArchiveDlg : public wxDialog {
public:
    CRenameArchiveDlg(wxWindow* parent, platform::Prompts& prompts, const std::string& oldName);
    // After "OK": the new name, with the old extension when it had none.
    std::string newName() const { return newName_; }

private:
    void onOk(wxCommandEvent&);

    platform::Prompts& prompts_;
    std::string oldName_;
    wxTextCtrl* name_ = nullptr;
    std::string newName_;
};

}  // namespace quarva::archive::ui
