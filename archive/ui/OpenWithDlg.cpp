#include "archive/ui/OpenWithDlg.h"

#include <wx/checkbox.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "archive/commands/Texts.h"
#include "archive/ui/DialogButtons.h"
#include "archive/ui/WxText.h"
#include "archive/utilities/EditTexts.h"

namespace quarva::archive::ui {

COpenWithDlg::COpenWithDlg(wxWindow* parent, const std::string& fileName, std::vector<DesktopApp> forType,
                           std::vector<DesktopApp> all)
    : wxDialog(parent, wxID_ANY, edittext::kOpenWithTitle, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      forType_(std::move(forType)),
      all_(std::move(all)) {
    auto* label = new wxStaticText(this, wxID_ANY, wxString::Format(edittext::kOpenWithLabel, toWx(fileName)));
    list_ = new wxListBox(this, wxID_ANY, wxDefaultPosition, wxSize(340, 220), 0, nullptr, wxLB_SINGLE);
    showAll_ = new wxCheckBox(this, wxID_ANY, edittext::kShowAll);
    if (forType_.empty()) {
        showAll_->SetValue(true);
        showAll_->Disable();
    }

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(label, 0, wxLEFT | wxRIGHT | wxTOP, 12);
    top->Add(list_, 1, wxEXPAND | wxALL, 12);
    top->Add(showAll_, 0, wxLEFT | wxRIGHT, 12);
    top->Add(okCancelButtons(*this, edittext::kOpen), 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(top);
    CentreOnParent();
    fill();

    showAll_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { fill(); });
    list_->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) {
        choice_ = list_->GetSelection();
        if (choice_ != wxNOT_FOUND) EndModal(wxID_OK);
    });
    Bind(
        wxEVT_BUTTON,
        [this](wxCommandEvent&) {
            choice_ = list_->GetSelection();
            if (choice_ != wxNOT_FOUND) EndModal(wxID_OK);
        },
        wxID_OK);
    Bind(
        wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) { e.Enable(list_->GetSelection() != wxNOT_FOUND); }, wxID_OK);
}

const std::vector<DesktopApp>& COpenWithDlg::shown() const { return showAll_->GetValue() ? all_ : forType_; }

void COpenWithDlg::fill() {
    list_->Clear();
    for (const DesktopApp& app : shown()) list_->Append(toWx(app.name));
    if (!list_->IsEmpty()) list_->SetSelection(0);
}

}  // namespace quarva::archive::ui
