#include "archive/ui/FileSelectDialog.h"

#include <wx/button.h>
#include <wx/filectrl.h>
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

namespace {
constexpr int kAddWithWildcards = wxID_HIGHEST + 40;
}

CSpecialFileDialog::CSpecialFileDialog(wxWindow* parent, platform::Prompts& prompts, const std::string& startFolder,
                                       bool libraryArchive, const SpanningList& spanning,
                                       std::function<void()> onPassword)
    : wxDialog(parent, wxID_ANY, dlgtext::kFileSelectTitle, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      prompts_(prompts),
      libraryArchive_(libraryArchive) {
    files_ = new wxFileCtrl(this, wxID_ANY, toWx(startFolder), wxEmptyString, wxString(dlgtext::kAllFilesFilter) + "|*",
                            wxFC_OPEN | wxFC_MULTIPLE, wxDefaultPosition, wxSize(560, 380));
    name_ = new wxTextCtrl(this, wxID_ANY);
    // After the password dialog the typing goes on in the file-name box.
    panel_ = new CAddOptionsPanel(this, true, libraryArchive, spanning, [this, onPassword] {
        onPassword();
        name_->SetFocus();
    });

    auto* nameRow = new wxBoxSizer(wxHORIZONTAL);
    nameRow->Add(new wxStaticText(this, wxID_ANY, "File &name:"), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    nameRow->Add(name_, 1, wxEXPAND);
    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(files_, 1, wxEXPAND);
    left->Add(nameRow, 0, wxEXPAND | wxTOP, 8);
    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(panel_, 0, wxEXPAND);
    right->Add(new wxButton(this, kAddWithWildcards, "Add &with wildcards"), 0, wxEXPAND | wxTOP, 10);
    auto* body = new wxBoxSizer(wxHORIZONTAL);
    body->Add(left, 1, wxEXPAND | wxALL, 10);
    body->Add(right, 0, wxEXPAND | wxTOP | wxRIGHT | wxBOTTOM, 10);

    wxStdDialogButtonSizer* buttons = okCancelButtons(*this, "Add");
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(body, 1, wxEXPAND);
    top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 10);
    SetSizerAndFit(top);
    CentreOnParent();

    files_->Bind(wxEVT_FILECTRL_SELECTIONCHANGED, &CSpecialFileDialog::onSelectionChanged, this);
    Bind(wxEVT_BUTTON, &CSpecialFileDialog::onAdd, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CSpecialFileDialog::onAddWithWildcards, this, kAddWithWildcards);
    name_->SetFocus();
}

std::string CSpecialFileDialog::currentFolder() const { return fromWx(files_->GetDirectory()); }

void CSpecialFileDialog::onSelectionChanged(wxFileCtrlEvent&) {
    wxArrayString names;
    files_->GetFilenames(names);
    if (names.size() == 1) {
        name_->ChangeValue(names[0]);
        return;
    }
    wxString text;
    for (const auto& n : names) text += (text.empty() ? "\"" : " \"") + n + "\"";
    name_->ChangeValue(text);
}

std::vector<std::string> CSpecialFileDialog::typedPaths() const {
    std::string text = fromWx(name_->GetValue());
    std::vector<std::string> names;
    if (text.find('"') == std::string::npos) {
        if (!text.empty()) names.push_back(text);
    } else {
        for (std::size_t at = text.find('"'); at != std::string::npos;) {
            auto end = text.find('"', at + 1);
            if (end == std::string::npos) break;
            if (end > at + 1) names.push_back(text.substr(at + 1, end - at - 1));
            at = text.find('"', end + 1);
        }
    }
    std::string folder = currentFolder();
    std::vector<std::string> out;
    for (auto& n : names) out.push_back(n.starts_with('/') ? n : (folder.ends_with('/') ? folder : folder + "/") + n);
    return out;
}

void CSpecialFileDialog::onAdd(wxCommandEvent&) {
    options_ = panel_->read();
    wildcardMode_ = false;
    paths_ = typedPaths();
    if (paths_.empty()) {
        wxBell();
        return;
    }
    EndModal(wxID_OK);
}

void CSpecialFileDialog::onAddWithWildcards(wxCommandEvent&) {
    options_ = panel_->read();
    wildcardMode_ = true;
    wildcardText_ = fromWx(name_->GetValue());
    if (auto hint = wildcardProblem(wildcardText_, libraryArchive_)) {
        prompts_.message(*hint, text::kCaption, platform::Buttons::Ok, platform::Icon::Information);
        return;
    }
    EndModal(wxID_OK);
}

}  // namespace quarva::archive::ui
