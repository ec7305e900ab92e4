#include "archive/ui/SaveAsDlg.h"

#include <filesystem>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "archive/commands/DialogModels.h"
#include "archive/commands/DialogTexts.h"
#include "archive/commands/Texts.h"
#include "archive/ui/WxText.h"
#include "platform/Prompts.h"

namespace quarva::archive::ui {

wxBoxSizer* buildSourceTargetDialog(wxDialog& dialog, const std::string& source, wxTextCtrl*& target,
                                    wxButton*& browse) {
    auto* grid = new wxFlexGridSizer(3, 6, 8);
    grid->AddGrowableCol(1);
    grid->Add(new wxStaticText(&dialog, wxID_ANY, "&Source:"), 0, wxALIGN_CENTER_VERTICAL);
    auto* sourceBox = new wxTextCtrl(&dialog, wxID_ANY, toWx(source), wxDefaultPosition, wxSize(380, -1));
    sourceBox->Disable();
    grid->Add(sourceBox, 1, wxEXPAND);
    grid->AddSpacer(0);
    grid->Add(new wxStaticText(&dialog, wxID_ANY, "&Target:"), 0, wxALIGN_CENTER_VERTICAL);
    target = new wxTextCtrl(&dialog, wxID_ANY, "", wxDefaultPosition, wxSize(380, -1));
    grid->Add(target, 1, wxEXPAND);
    browse = new wxButton(&dialog, wxID_ANY, "...", wxDefaultPosition, wxSize(36, -1));
    grid->Add(browse);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(grid, 0, wxEXPAND | wxALL, 12);
    auto* own = new wxBoxSizer(wxVERTICAL);
    top->Add(own, 0, wxEXPAND | wxLEFT | wxRIGHT, 12);
    top->Add(dialog.CreateSeparatedButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 12);
    dialog.SetSizer(top);
    return own;
}

CSaveAsDlg::CSaveAsDlg(wxWindow* parent, platform::Prompts& prompts, const std::string& source)
    : wxDialog(parent, wxID_ANY, dlgtext::kSaveAsTitle), prompts_(prompts) {
    wxButton* browse = nullptr;
    wxBoxSizer* own = buildSourceTargetDialog(*this, source, targetBox_, browse);
    type_ = new wxChoice(this, wxID_ANY);
    for (const auto& type : saveAsTypes()) type_->Append(type.text);
    type_->SetSelection(0);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticText(this, wxID_ANY, "T&ype:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    row->Add(type_, 1);
    own->Add(row, 0, wxEXPAND);
    GetSizer()->SetSizeHints(this);
    CentreOnParent();
    showTarget(replaceFromLastDot(source, ".bh"));
    // The type comes first: picking it rewrites the target.
    Bind(wxEVT_INIT_DIALOG, [this](wxInitDialogEvent& event) {
        event.Skip();
        CallAfter([this] { type_->SetFocus(); });
    });

    type_->Bind(wxEVT_CHOICE, &CSaveAsDlg::onType, this);
    browse->Bind(wxEVT_BUTTON, &CSaveAsDlg::onBrowse, this);
    Bind(wxEVT_BUTTON, &CSaveAsDlg::onOk, this, wxID_OK);
}

void CSaveAsDlg::showTarget(const std::string& target) {
    targetBox_->ChangeValue(toWx(target));
    targetBox_->SetInsertionPointEnd();
}

void CSaveAsDlg::onType(wxCommandEvent&) {
    int index = type_->GetSelection();
    if (index < 0) return;
    showTarget(
        replaceAfterLastDot(fromWx(targetBox_->GetValue()), saveAsTypes()[static_cast<std::size_t>(index)].extension));
}

void CSaveAsDlg::onBrowse(wxCommandEvent&) {
    std::filesystem::path current = fromWx(targetBox_->GetValue());
    wxFileDialog dialog(this, dlgtext::kSaveAsTitle, toWx(current.parent_path().string()),
                        toWx(current.filename().string()), dlgtext::kSaveAsFilter, wxFD_SAVE);
    if (dialog.ShowModal() == wxID_OK) showTarget(fromWx(dialog.GetPath()));
}

void CSaveAsDlg::onOk(wxCommandEvent&) {
    std::string target = fromWx(targetBox_->GetValue());
    if (auto problem = targetProblem(target)) {
        prompts_.message(*problem, text::kCaption, platform::Buttons::Ok, platform::Icon::Information);
        return;
    }
    target_ = target;
    typeIndex_ = type_->GetSelection();
    std::error_code ec;
    if (std::filesystem::exists(target, ec) &&
        prompts_.message(overwriteQuestion(target), text::kCaption, platform::Buttons::YesNo,
                         platform::Icon::Information, 1) != platform::Answer::Yes) {
        EndModal(wxID_CANCEL);
        return;
    }
    EndModal(wxID_OK);
}

}  // namespace quarva::archive::ui
