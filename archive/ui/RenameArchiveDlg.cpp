#include "archive/ui/RenameArchiveDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "archive/commands/DialogModels.h"
#include "archive/commands/Texts.h"
#include "archive/ui/WxText.h"
#include "platform/Prompts.h"

namespace quarva::archive::ui {

CRenameArchiveDlg::CRenameArchiveDlg(wxWindow* parent, platform::Prompts& prompts, const std::string& oldName)
    : wxDialog(parent, wxID_ANY, toWx(renameTitle(oldName))), prompts_(prompts), oldName_(oldName) {
    name_ = new wxTextCtrl(this, wxID_ANY, toWx(oldName), wxDefaultPosition, wxSize(320, -1));
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY, "Rename &To"), 0, wxLEFT | wxRIGHT | wxTOP, 12);
    top->Add(name_, 0, wxEXPAND | wxALL, 12);
    top->Add(CreateSeparatedButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(top);
    CentreOnParent();
    name_->SetFocus();
    name_->SelectAll();
    Bind(wxEVT_BUTTON, &CRenameArchiveDlg::onOk, this, wxID_OK);
}

void CRenameArchiveDlg::onOk(wxCommandEvent&) {
    std::string typed = fromWx(name_->GetValue());
    if (auto problem = renameProblem(oldName_, typed)) {
        prompts_.message(*problem, text::kCaption, platform::Buttons::Ok, platform::Icon::Exclamation);
        return;
    }
    newName_ = renamedFileName(oldName_, typed);
    EndModal(wxID_OK);
}

}  // namespace quarva::archive::ui
