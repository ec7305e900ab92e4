#pragma once
// "Delete": the whole archive, the selected items, or the files matching a filter.

#include <wx/dialog.h>

#include "archive/commands/DialogModels.h"

class wxRadioButton;
class wxTextCtrl;

namespace quarva::platform {
class Prompts;
}

namespace quarva::archive::ui {

class CDeleteDlg : public wxDialog {
public:
    CDeleteDlg(wxWindow* parent, platform::Prompts& prompts);
    const DeleteDialogOptions& options() const { return options_; }

private:
    void onDelete(wxCommandEvent&);

    platform::Prompts& prompts_;
    wxRadioButton* entire_ = nullptr;
    wxRadioButton* selected_ = nullptr;
    wxRadioButton* files_ = nullptr;
    wxTextCtrl* filter_ = nullptr;
    DeleteDialogOptions options_;
};

}  // namespace quarva::archive::ui
