#include "archive/ui/EncodeDlg.h"

#include <filesystem>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "archive/commands/DialogModels.h"
#include "archive/commands/DialogTexts.h"
#include "archive/commands/Texts.h"
#include "archive/ui/SaveAsDlg.h"
#include "archive/ui/WxText.h"
#include "platform/Prompts.h"

namespace quarva::archive::ui {

CEncodeDlg::CEncodeDlg(wxWindow* parent, platform::Prompts& prompts, const std::string& source)
    : wxDialog(parent, wxID_ANY, dlgtext::kEncodeTitle), prompts_(prompts), source_(source) {
    wxButton* browse = nullptr;
    wxBoxSizer* own = buildSourceTargetDialog(*this, source, targetBox_, browse);
    uu_ = new wxRadioButton(this, wxID_ANY, "&UUEncode", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    auto* xx = new wxRadioButton(this, wxID_ANY, "&XXEncode");
    table_ = new wxCheckBox(this, wxID_ANY, "&Write decode table to file header");
    uu_->SetValue(true);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(uu_, 0, wxRIGHT, 16);
    row->Add(xx);
    own->Add(row, 0, wxBOTTOM, 8);
    own->Add(table_);
    GetSizer()->SetSizeHints(this);
    CentreOnParent();
    targetBox_->ChangeValue(toWx(replaceFromLastDot(source, ".uue")));
    targetBox_->SetInsertionPointEnd();
    browse->Bind(wxEVT_BUTTON, &CEncodeDlg::onBrowse, this);
    Bind(wxEVT_BUTTON, &CEncodeDlg::onOk, this, wxID_OK);
}

void CEncodeDlg::onBrowse(wxCommandEvent&) {
    std::filesystem::path current = fromWx(targetBox_->GetValue());
    wxFileDialog dialog(this, dlgtext::kEncodeTitle, toWx(current.parent_path().string()),
                        toWx(current.filename().string()), dlgtext::kEncodeFilter, wxFD_SAVE);
    if (dialog.ShowModal() != wxID_OK) return;
    targetBox_->ChangeValue(dialog.GetPath());
    targetBox_->SetInsertionPointEnd();
}

void CEncodeDlg::onOk(wxCommandEvent&) {
    std::string target = fromWx(targetBox_->GetValue());
    if (auto problem = targetProblem(target)) {
        prompts_.message(*problem, text::kCaption, platform::Buttons::Ok, platform::Icon::Information);
        return;
    }
    method_ = uu_->GetValue() ? 0 : 1;
    writeTable_ = table_->IsChecked();
    target_ = encodeTarget(source_, target, method_);
    EndModal(wxID_OK);
}

}  // namespace quarva::archive::ui
