#include "archive/ui/AddFilesDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "archive/commands/DialogTexts.h"
#include "archive/commands/Texts.h"
#include "archive/ui/AddOptionsPanel.h"
#include "archive/ui/DialogButtons.h"
#include "archive/ui/WxText.h"
#include "platform/Prompts.h"

namespace quarva::archive::ui {

CAddFilesDlg::CAddFilesDlg(wxWindow* parent, platform::Prompts& prompts, const SpanningList& spanning,
                           std::function<void()> onPassword, std::function<bool(const std::string&)> isRemovable)
    : wxDialog(parent, wxID_ANY, dlgtext::kAddFilesTitle), prompts_(prompts), isRemovable_(std::move(isRemovable)) {
    description_ = new wxStaticText(this, wxID_ANY, "");
    name_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(420, -1));
    panel_ = new CAddOptionsPanel(this, false, false, spanning, std::move(onPassword));
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(description_, 0, wxEXPAND | wxALL, 10);
    top->Add(new wxStaticText(this, wxID_ANY, "Add to &archive:"), 0, wxLEFT | wxRIGHT, 10);
    top->Add(name_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
    top->Add(panel_, 0, wxEXPAND | wxALL, 10);
    wxStdDialogButtonSizer* buttons = okCancelButtons(*this, "Add");
    top->Add(buttons, 0, wxEXPAND | wxALL, 10);
    SetSizerAndFit(top);
    CentreOnParent();
    // Return means "Add" unless the user moves on (a focused list would open on it).
    wxWindow* add = buttons->GetAffirmativeButton();
    Bind(wxEVT_INIT_DIALOG, [this, add](wxInitDialogEvent& event) {
        event.Skip();
        CallAfter([this, add] { (name_->IsEnabled() ? static_cast<wxWindow*>(name_) : add)->SetFocus(); });
    });
    name_->Bind(wxEVT_TEXT, &CAddFilesDlg::onNameChanged, this);
    Bind(wxEVT_BUTTON, &CAddFilesDlg::onAdd, this, wxID_OK);
}

void CAddFilesDlg::set(const std::string& description, const std::string& archiveName, bool nameLocked) {
    description_->SetLabel(toWx(description));
    name_->ChangeValue(toWx(archiveName));
    name_->SetInsertionPointEnd();
    name_->Enable(!nameLocked);
    Fit();
}

void CAddFilesDlg::onNameChanged(wxCommandEvent&) { panel_->enableSpanning(isRemovable_(fromWx(name_->GetValue()))); }

void CAddFilesDlg::onAdd(wxCommandEvent&) {
    std::string name = fromWx(name_->GetValue());
    if (auto problem = archiveNameProblem(name)) {
        prompts_.message(*problem, text::kCaption, platform::Buttons::Ok, platform::Icon::Exclamation);
        return;
    }
    archiveName_ = name;
    options_ = panel_->read();
    EndModal(wxID_OK);
}

}  // namespace quarva::archive::ui
