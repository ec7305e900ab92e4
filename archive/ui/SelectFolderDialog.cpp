#include "archive/ui/SelectFolderDialog.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dirctrl.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "archive/commands/DialogTexts.h"
#include "archive/commands/Texts.h"
#include "archive/ui/DialogButtons.h"
#include "archive/ui/WxText.h"
#include "platform/Prompts.h"

namespace quarva::archive::ui {

CSelectFolderDialog::CSelectFolderDialog(wxWindow* parent, platform::Prompts& prompts, bool withOptions,
                                         const std::string& startFolder, const std::string& title)
    : wxDialog(parent, wxID_ANY, toWx(title), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      prompts_(prompts) {
    tree_ = new wxGenericDirCtrl(this, wxID_ANY, toWx(startFolder), wxDefaultPosition, wxSize(380, 320),
                                 wxDIRCTRL_DIR_ONLY | wxDIRCTRL_3D_INTERNAL);
    folderBox_ = new wxComboBox(this, kFolderBoxId, "", wxDefaultPosition, wxDefaultSize, 0, nullptr, wxCB_DROPDOWN);
    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(tree_, 1, wxEXPAND);
    left->Add(new wxStaticText(this, wxID_ANY, toWx(title)), 0, wxTOP, 8);
    left->Add(folderBox_, 0, wxEXPAND | wxTOP, 2);
    auto* body = new wxBoxSizer(wxHORIZONTAL);
    body->Add(left, 1, wxEXPAND | wxALL, 10);

    if (withOptions) {
        auto* files = new wxStaticBoxSizer(wxVERTICAL, this, "Files");
        wxWindow* box = files->GetStaticBox();
        selected_ = new wxRadioButton(box, wxID_ANY, "&Selected Files", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
        all_ = new wxRadioButton(box, wxID_ANY, "&All Files");
        pattern_ = new wxRadioButton(box, wxID_ANY, "&Files");
        patternText_ = new wxTextCtrl(box, wxID_ANY);
        files->Add(selected_, 0, wxALL, 4);
        files->Add(all_, 0, wxALL, 4);
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(pattern_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
        row->Add(patternText_, 1);
        files->Add(row, 0, wxEXPAND | wxALL, 4);
        auto* right = new wxBoxSizer(wxVERTICAL);
        right->Add(files, 0, wxEXPAND);
        overwrite_ = new wxCheckBox(this, wxID_ANY, "&Overwrite Existing files");
        skipOlder_ = new wxCheckBox(this, wxID_ANY, "S&kip Older files.");
        folderNames_ = new wxCheckBox(this, wxID_ANY, "&Use Folder Names");
        for (wxCheckBox* c : {overwrite_, skipOlder_, folderNames_}) right->Add(c, 0, wxTOP, 8);
        body->Add(right, 0, wxEXPAND | wxTOP | wxRIGHT | wxBOTTOM, 10);
        selected_->SetValue(true);
        patternText_->Bind(wxEVT_TEXT, &CSelectFolderDialog::onPatternTyped, this);
    }

    wxStdDialogButtonSizer* buttons = okCancelButtons(*this, "Select");
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(body, 1, wxEXPAND);
    top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 10);
    SetSizerAndFit(top);
    Centre();

    showFolder(toWx(startFolder));
    tree_->Bind(wxEVT_DIRCTRL_SELECTIONCHANGED, &CSelectFolderDialog::onTreeChanged, this);
    Bind(wxEVT_BUTTON, &CSelectFolderDialog::onSelect, this, wxID_OK);
    folderBox_->SetFocus();
}

void CSelectFolderDialog::setSelectedAllowed(bool allowed) {
    if (!selected_ || allowed) return;
    selected_->Disable();
    all_->SetValue(true);
}

void CSelectFolderDialog::showFolder(const wxString& path) {
    folderBox_->ChangeValue(path);
    folderBox_->SetInsertionPointEnd();
}

void CSelectFolderDialog::onTreeChanged(wxCommandEvent&) {
    wxString path = tree_->GetPath();
    if (!path.empty()) showFolder(path);
}

void CSelectFolderDialog::onPatternTyped(wxCommandEvent&) { pattern_->SetValue(true); }

void CSelectFolderDialog::onSelect(wxCommandEvent&) {
    if (selected_) {
        options_.filesChoice = all_->GetValue() ? 1 : pattern_->GetValue() ? 2 : 0;
        options_.pattern = options_.filesChoice == 2 ? fromWx(patternText_->GetValue()) : std::string();
        options_.overwrite = overwrite_->IsChecked();
        options_.skipOlder = skipOlder_->IsChecked();
        options_.useFolderNames = folderNames_->IsChecked();
    }
    auto folder = chosenFolder(fromWx(folderBox_->GetValue()));
    if (!folder) {
        prompts_.message(dlgtext::kInvalidFolder, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
        return;
    }
    folder_ = *folder;
    EndModal(wxID_OK);
}

}  // namespace quarva::archive::ui
