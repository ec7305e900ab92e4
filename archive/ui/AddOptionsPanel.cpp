#include "archive/ui/AddOptionsPanel.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "archive/commands/DialogTexts.h"
#include "archive/ui/WxText.h"

namespace quarva::archive::ui {

namespace {

template <std::size_t N>
wxChoice* listOf(wxWindow* parent, const char* const (&texts)[N], int selected) {
    auto* choice = new wxChoice(parent, wxID_ANY);
    for (const char* text : texts) choice->Append(text);
    choice->SetSelection(selected);
    return choice;
}

}  // namespace

CAddOptionsPanel::CAddOptionsPanel(wxWindow* parent, bool fileDialogForm, bool libraryArchive,
                                   const SpanningList& spanning, std::function<void()> onPassword)
    : wxPanel(parent, wxID_ANY) {
    AddDialogOptions defaults;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto labelled = [&](const char* label, wxWindow* control) {
        sizer->Add(new wxStaticText(this, wxID_ANY, label), 0, wxTOP, 6);
        sizer->Add(control, 0, wxEXPAND | wxTOP, 2);
    };
    action_ = listOf(this, dlgtext::kActions, defaults.action);
    labelled("A&ction:", action_);
    compression_ = listOf(this, dlgtext::kCompressions, defaults.compression);
    labelled("C&ompression:", compression_);
    spanning_ = new wxChoice(this, wxID_ANY);
    for (const auto& entry : spanning.entries) spanning_->Append(toWx(entry));
    spanning_->SetSelection(spanning.selected);
    spanning_->Enable(spanning.enabled);
    labelled("Multiple disk &spanning:", spanning_);

    sizer->AddSpacer(8);
    auto check = [&](const char* label) {
        auto* box = new wxCheckBox(this, wxID_ANY, label);
        sizer->Add(box, 0, wxTOP, 4);
        return box;
    };
    savePath_ = check("Save f&ull path info");
    onlyIfArchive_ = check("Inc&lude only if archive is set");
    resetArchive_ = check("Reset archi&ve attribute");
    hidden_ = check("Include system and &hidden files");
    if (fileDialogForm) {
        subfolders_ = check("Include su&bfolders");
        deleteAfter_ = check("&Delete after zipping");
    }
    auto* password = new wxButton(this, wxID_ANY, "&Password...");
    sizer->Add(password, 0, wxTOP, 10);
    password->Bind(wxEVT_BUTTON, [onPassword](wxCommandEvent&) { onPassword(); });

    if (fileDialogForm && libraryArchive) {
        for (wxWindow* w : std::initializer_list<wxWindow*>{onlyIfArchive_, resetArchive_, hidden_, password, action_,
                                                            spanning_, compression_})
            w->Disable();
    } else if (fileDialogForm) {
        deleteAfter_->Disable();
    }
    SetSizer(sizer);
}

AddDialogOptions CAddOptionsPanel::read() const {
    AddDialogOptions o;
    o.action = action_->GetSelection();
    o.compression = compression_->GetSelection();
    o.spanning = spanning_->GetSelection();
    o.savePathInfo = savePath_->IsChecked();
    o.onlyIfArchiveSet = onlyIfArchive_->IsChecked();
    o.resetArchiveAttribute = resetArchive_->IsChecked();
    o.includeHidden = hidden_->IsChecked();
    o.includeSubfolders = subfolders_ ? subfolders_->IsChecked() : true;
    o.deleteAfterZipping = deleteAfter_ ? deleteAfter_->IsChecked() : false;
    return o;
}

void CAddOptionsPanel::enableSpanning(bool enabled) { spanning_->Enable(enabled); }

}  // namespace quarva::archive::ui
