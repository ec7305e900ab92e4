#include "splitter/ui/SettingsPane.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "splitter/SplitTexts.h"

namespace quarva::splitter::ui {

namespace {

wxString text(const std::string& s) { return wxString::FromUTF8(s.c_str()); }
std::string utf8(const wxString& s) { return std::string(s.utf8_str()); }

}  // namespace

CSettingsPaneWnd::CSettingsPaneWnd(wxWindow* parent, CSettingsPane& pane, CSplitSettings& settings,
                                   platform::Prompts& prompts, std::function<void(int)> done)
    : wxPanel(parent, wxID_ANY), pane_(pane), settings_(settings), prompts_(prompts), done_(std::move(done)) {
    auto* top = new wxBoxSizer(wxVERTICAL);

    auto* fileOps = new wxStaticBoxSizer(wxVERTICAL, this, "File Operations");
    removeAfterRejoin_ = new wxCheckBox(fileOps->GetStaticBox(), wxID_ANY, "&Remove split files after rejoin");
    eraseBeforeSplit_ =
        new wxCheckBox(fileOps->GetStaticBox(), wxID_ANY, "&Erase contents from removable drive before splitting");
    fileOps->Add(removeAfterRejoin_, 0, wxALL, 4);
    fileOps->Add(eraseBeforeSplit_, 0, wxALL, 4);
    top->Add(fileOps, 0, wxEXPAND | wxALL, 6);

    auto* folders = new wxStaticBoxSizer(wxVERTICAL, this, "Folder Options");
    auto folderRow = [&](const char* label, wxTextCtrl*& box) {
        wxWindow* owner = folders->GetStaticBox();
        folders->Add(new wxStaticText(owner, wxID_ANY, label), 0, wxLEFT | wxRIGHT | wxTOP, 4);
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        box = new wxTextCtrl(owner, wxID_ANY);
        auto* browse = new wxButton(owner, wxID_ANY, "...", wxDefaultPosition, wxSize(36, -1));
        wxTextCtrl* target = box;
        browse->Bind(wxEVT_BUTTON, [this, target](wxCommandEvent&) { ChooseFolder(target); });
        row->Add(box, 1, wxALIGN_CENTER_VERTICAL);
        row->Add(browse, 0, wxLEFT, 4);
        folders->Add(row, 0, wxEXPAND | wxALL, 4);
    };
    folderRow("Enter the default startup folder", startupBox_);
    folderRow("Enter the working directory to place the split files", workingBox_);
    top->Add(folders, 0, wxEXPAND | wxLEFT | wxRIGHT, 6);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* ok = new wxButton(this, wxID_OK, "OK");
    auto* cancel = new wxButton(this, wxID_CANCEL, "Cancel");
    ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOk(); });
    cancel->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { done_(pane_.OnCancel()); });
    buttons->AddStretchSpacer();
    buttons->Add(ok, 0, wxRIGHT, 6);
    buttons->Add(cancel, 0);
    top->Add(buttons, 0, wxEXPAND | wxALL, 6);
    SetSizerAndFit(top);

    // The pane is a dialog of its own inside the window: Enter is its OK, Escape its Cancel.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
        switch (e.GetKeyCode()) {
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER: OnOk(); return;
        case WXK_ESCAPE: done_(pane_.OnCancel()); return;
        default: e.Skip();
        }
    });
}

void CSettingsPaneWnd::Load() {
    removeAfterRejoin_->SetValue(pane_.removeAfterRejoin);
    eraseBeforeSplit_->SetValue(pane_.eraseBeforeSplit);
    startupBox_->ChangeValue(text(pane_.startupBox));
    workingBox_->ChangeValue(text(pane_.workingBox));
}

void CSettingsPaneWnd::OnOk() {
    pane_.removeAfterRejoin = removeAfterRejoin_->GetValue();
    pane_.eraseBeforeSplit = eraseBeforeSplit_->GetValue();
    pane_.startupBox = utf8(startupBox_->GetValue());
    pane_.workingBox = utf8(workingBox_->GetValue());
    done_(pane_.OnOK(settings_, prompts_));
}

void CSettingsPaneWnd::ChooseFolder(wxTextCtrl* box) {
    platform::FileRequest request;
    request.kind = platform::FileRequest::Kind::Folder;
    request.title = "Choose a startup folder";  // both buttons
    request.initialFolder = utf8(box->GetValue());
    if (auto chosen = prompts_.chooseFile(request)) box->ChangeValue(text(chosen->string()));
}

}  // namespace quarva::splitter::ui
