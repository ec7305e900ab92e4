#include "archive/ui/PasswdDlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "archive/commands/DialogModels.h"
#include "archive/commands/Texts.h"
#include "archive/ui/WxText.h"
#include "platform/Prompts.h"

namespace quarva::archive::ui {

CPasswdDlg::CPasswdDlg(wxWindow* parent, platform::Prompts& prompts)
    : wxDialog(parent, wxID_ANY, text::kPasswordCaption), prompts_(prompts) {
    auto* grid = new wxFlexGridSizer(2, 6, 8);
    grid->AddGrowableCol(1);
    grid->Add(new wxStaticText(this, wxID_ANY, "&Password:"), 0, wxALIGN_CENTER_VERTICAL);
    // GTK cannot switch an entry's masking through wx, so the box is two boxes of
    // which one shows at a time.
    auto* passwordBox = new wxBoxSizer(wxHORIZONTAL);
    plain_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(240, -1));
    masked_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(240, -1), wxTE_PASSWORD);
    masked_->Hide();
    passwordBox->Add(plain_, 1, wxEXPAND);
    passwordBox->Add(masked_, 1, wxEXPAND);
    grid->Add(passwordBox, 1, wxEXPAND);
    grid->Add(new wxStaticText(this, wxID_ANY, "&Re-enter:"), 0, wxALIGN_CENTER_VERTICAL);
    reentered_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(240, -1), wxTE_PASSWORD);
    grid->Add(reentered_, 1, wxEXPAND);
    grid->AddSpacer(0);
    mask_ = new wxCheckBox(this, wxID_ANY, "&Mask");
    grid->Add(mask_);

    auto* note = new wxStaticText(this, wxID_ANY, text::kPasswordNote);
    note->Wrap(380);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(grid, 0, wxEXPAND | wxALL, 12);
    top->Add(note, 0, wxEXPAND | wxLEFT | wxRIGHT, 12);
    top->Add(CreateSeparatedButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(top);
    CentreOnParent();

    mask_->Bind(wxEVT_CHECKBOX, &CPasswdDlg::onMask, this);
    Bind(wxEVT_BUTTON, &CPasswdDlg::onOk, this, wxID_OK);
    plain_->SetFocus();
}

void CPasswdDlg::set(const std::string& password, bool confirmRequired) {
    plain_->ChangeValue(toWx(password));
    masked_->ChangeValue(toWx(password));
    confirmRequired_ = confirmRequired;
    reentered_->Enable(confirmRequired);
}

std::string CPasswdDlg::password() const { return fromWx((mask_->IsChecked() ? masked_ : plain_)->GetValue()); }

void CPasswdDlg::onMask(wxCommandEvent&) {
    bool masking = mask_->IsChecked();
    wxTextCtrl* from = masking ? plain_ : masked_;
    wxTextCtrl* to = masking ? masked_ : plain_;
    to->ChangeValue(from->GetValue());
    from->Hide();
    to->Show();
    Layout();
    to->SetFocus();
    to->Refresh();
}

void CPasswdDlg::onOk(wxCommandEvent&) {
    if (auto problem = passwordProblem(confirmRequired_, password(), fromWx(reentered_->GetValue()))) {
        prompts_.message(*problem, text::kCaption, platform::Buttons::Ok, platform::Icon::Exclamation);
        return;
    }
    EndModal(wxID_OK);
}

}  // namespace quarva::archive::ui
