#include "archive/ui/TipDlg.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

namespace quarva::archive::ui {

CTipDlg::CTipDlg(wxWindow* parent, SettingsStore& store, const std::filesystem::path& tipsFile)
    : wxDialog(parent, wxID_ANY, "Tip of the Day"), store_(store), tips_(std::make_unique<CTipFile>(store, tipsFile)) {
    tips_->open();

    auto* white = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxSize(380, 160), wxBORDER_SUNKEN);
    white->SetBackgroundColour(*wxWHITE);
    auto* heading = new wxStaticText(white, wxID_ANY, "Did you know...");
    heading->SetFont(heading->GetFont().Bold().Larger());
    text_ = new wxStaticText(white, wxID_ANY, wxString::FromUTF8(tips_->tip().c_str()));
    text_->Wrap(340);
    // The bulb at the top left, "Did you know..." beside it on one line.
    auto* bulb = new wxStaticBitmap(white, wxID_ANY, wxArtProvider::GetBitmap(wxART_TIP, wxART_MESSAGE_BOX));
    auto* headingRow = new wxBoxSizer(wxHORIZONTAL);
    headingRow->Add(bulb, 0, wxRIGHT, 8);
    headingRow->Add(heading, 0, wxALIGN_CENTER_VERTICAL);
    auto* inner = new wxBoxSizer(wxVERTICAL);
    inner->Add(headingRow, 0, wxALL, 10);
    inner->Add(text_, 1, wxLEFT | wxRIGHT | wxBOTTOM | wxEXPAND, 10);
    white->SetSizer(inner);

    showAtStartup_ = new wxCheckBox(this, wxID_ANY, "&Show Tips on StartUp");
    showAtStartup_->SetValue(CTipFile::showAtStartup(store));
    auto* next = new wxButton(this, wxID_FORWARD, "&Next Tip");
    next->Enable(tips_->canAdvance());
    auto* close = new wxButton(this, wxID_OK, "&Close");
    close->SetDefault();

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(showAtStartup_, 1, wxALIGN_CENTER_VERTICAL);
    buttons->Add(next, 0, wxLEFT, 6);
    buttons->Add(close, 0, wxLEFT, 6);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(white, 1, wxALL | wxEXPAND, 10);
    top->Add(buttons, 0, wxLEFT | wxRIGHT | wxBOTTOM | wxEXPAND, 10);
    SetSizerAndFit(top);

    Bind(wxEVT_BUTTON, &CTipDlg::onNext, this, wxID_FORWARD);
    Bind(wxEVT_BUTTON, &CTipDlg::onClose, this, wxID_OK);
}

void CTipDlg::onNext(wxCommandEvent&) {
    tips_->next();
    text_->SetLabel(wxString::FromUTF8(tips_->tip().c_str()));
    text_->Wrap(340);
    Layout();
}

void CTipDlg::onClose(wxCommandEvent&) {
    CTipFile::setShowAtStartup(store_, showAtStartup_->GetValue());
    EndModal(wxID_OK);
}

}  // namespace quarva::archive::ui
