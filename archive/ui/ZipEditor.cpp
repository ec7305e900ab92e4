#include "archive/ui/ZipEditor.h"

#include <wx/button.h>
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/fontdlg.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "archive/commands/DialogModels.h"
#include "archive/ui/WxText.h"

namespace quarva::archive::ui {

namespace {
constexpr int kFontButton = wxID_HIGHEST + 60;
constexpr int kCopyButton = wxID_HIGHEST + 61;
}  // namespace

CZipEditor::CZipEditor(wxWindow* parent, const std::string& text, const std::string& title, bool editable,
                       bool commentMode)
    : wxDialog(parent, wxID_ANY, toWx(title), wxDefaultPosition, wxSize(600, 420),
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      commentMode_(commentMode) {
    // The logs end their lines with CR LF; the box wants LF.
    wxString shown = toWx(text);
    shown.Replace("\r\n", "\n");
    box_ = new wxTextCtrl(this, wxID_ANY, shown, wxDefaultPosition, wxDefaultSize,
                          wxTE_MULTILINE | wxHSCROLL | (editable ? 0 : wxTE_READONLY));
    box_->SetFont(wxFont(wxFontInfo(12).FaceName("Times New Roman")));
    TextWindowLabels labels = textWindowLabels(commentMode);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* ok = new wxButton(this, wxID_OK, toWx(labels.ok));
    ok->SetDefault();
    buttons->Add(ok, 0, wxRIGHT, 6);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"), 0, wxRIGHT, 6);
    buttons->Add(new wxButton(this, kFontButton, "&Font ..."), 0, wxRIGHT, 6);
    buttons->Add(new wxButton(this, kCopyButton, toWx(labels.copy)));
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(box_, 1, wxEXPAND | wxALL, 8);
    top->Add(buttons, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 8);
    SetSizer(top);
    CentreOnParent();
    Bind(wxEVT_BUTTON, &CZipEditor::onCopy, this, kCopyButton);
    Bind(wxEVT_BUTTON, &CZipEditor::onFont, this, kFontButton);
}

std::string CZipEditor::text() const {
    wxString value = box_->GetValue();
    value.Replace("\n", "\r\n");
    return fromWx(value);
}

void CZipEditor::onCopy(wxCommandEvent&) {
    if (commentMode_) {
        box_->Clear();
        return;
    }
    box_->SelectAll();
    if (wxTheClipboard->Open()) {
        wxTheClipboard->SetData(new wxTextDataObject(box_->GetValue()));
        wxTheClipboard->Close();
    }
    box_->SelectNone();
}

void CZipEditor::onFont(wxCommandEvent&) {
    wxFontData data;
    data.SetInitialFont(box_->GetFont());
    data.EnableEffects(true);
    wxFontDialog dialog(this, data);
    if (dialog.ShowModal() == wxID_OK) box_->SetFont(dialog.GetFontData().GetChosenFont());
}

}  // namespace quarva::archive::ui
