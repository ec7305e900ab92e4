#pragma once
// The folder chooser: a folder tree with an editable folder box under it, and,
// for extraction, the options panel (which files, overwrite, folder names). The
// typed folder need not exist; "Select" refuses an empty or malformed one.

#include <string>

#include <wx/dialog.h>

#include "archive/commands/DialogModels.h"

class wxCheckBox;
class wxComboBox;
class wxGenericDirCtrl;
class wxRadioButton;
class wxTextCtrl;

namespace quarva::platform {
class Prompts;
}

namespace quarva::archive::ui {

class CSelectFolderDialog : public wxDialog {
public:
    static constexpr int kFolderBoxId = 102;

    CSelectFolderDialog(wxWindow* parent, platform::Prompts& prompts, bool withOptions, const std::string& startFolder,
                        const std::string& title);
    // Before showing: with nothing selected in the list "&All Files" is checked and
    // "&Selected Files" disabled.
    void setSelectedAllowed(bool allowed);

    // After "Select": the folder ending in "/", and the panel's choices.
    const std::string& folder() const { return folder_; }
    const ExtractDialogOptions& options() const { return options_; }

private:
    void onTreeChanged(wxCommandEvent&);
    void onPatternTyped(wxCommandEvent&);
    void onSelect(wxCommandEvent&);
    void showFolder(const wxString& path);

    platform::Prompts& prompts_;
    wxGenericDirCtrl* tree_ = nullptr;
    wxComboBox* folderBox_ = nullptr;
    wxRadioButton* selected_ = nullptr;
    wxRadioButton* all_ = nullptr;
    wxRadioButton* pattern_ = nullptr;
    wxTextCtrl* patternText_ = nullptr;
    wxCheckBox* overwrite_ = nullptr;
    wxCheckBox* skipOlder_ = nullptr;
    wxCheckBox* folderNames_ = nullptr;
    std::string folder_;
    ExtractDialogOptions options_;
};

}  // namespace quarva::archive::ui
