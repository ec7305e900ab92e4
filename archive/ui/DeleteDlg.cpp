#include "archive/ui/DeleteDlg.h"

#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "archive/commands/DialogTexts.h"
#include "archive/commands/Texts.h"
#include "archive/ui/WxText.h"
#include "platform/Prompts.h"

namespace quarva::archive::ui {

CDeleteDlg::CDeleteDlg(wxWindow* parent, platform::Prompts& prompts)
    : wxDialog(parent, wxID_ANY, dlgtext::kDeleteTitle), prompts_(prompts) {
    entire_ = new wxRadioButton(this, wxID_ANY, "&Entire Archive", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    selected_ = new wxRadioButton(this, wxID_ANY, "&Selected Item");
    files_ = new wxRadioButton(this, wxID_ANY, "&Files");
    filter_ = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, wxSize(200, -1));
    selected_->SetValue(true);

    auto* choices = new wxBoxSizer(wxVERTICAL);
    choices->Add(entire_, 0, wxBOTTOM, 6);
    choices->Add(selected_, 0, wxBOTTOM, 6);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(files_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    row->Add(filter_, 1);
    choices->Add(row, 0, wxEXPAND);

    auto* buttons = new wxBoxSizer(wxVERTICAL);
    auto* remove = new wxButton(this, wxID_OK, "&Delete");
    remove->SetDefault();
    buttons->Add(remove, 0, wxEXPAND | wxBOTTOM, 6);
    buttons->Add(new wxButton(this, wxID_CANCEL, "&Cancel"), 0, wxEXPAND);

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(choices, 1, wxEXPAND | wxALL, 12);
    top->Add(buttons, 0, wxALL, 12);
    SetSizerAndFit(top);
    CentreOnParent();

    auto clearFilter = [this](wxCommandEvent&) { filter_->ChangeValue(""); };
    entire_->Bind(wxEVT_RADIOBUTTON, clearFilter);
    selected_->Bind(wxEVT_RADIOBUTTON, clearFilter);
    filter_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
        if (!filter_->GetValue().empty()) files_->SetValue(true);
    });
    Bind(wxEVT_BUTTON, &CDeleteDlg::onDelete, this, wxID_OK);
}

void CDeleteDlg::onDelete(wxCommandEvent&) {
    options_.choice = entire_->GetValue() ? 0 : selected_->GetValue() ? 1 : 2;
    options_.filter = fromWx(filter_->GetValue());
    if (auto problem = deleteProblem(options_)) {
        prompts_.message(*problem, text::kCaption, platform::Buttons::Ok, platform::Icon::None);
        return;
    }
    EndModal(wxID_OK);
}

}  // namespace quarva::archive::ui
