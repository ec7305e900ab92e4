#pragma once
// "Add": the smaller add dialog for files and folders that are already known
// (paste, the command line's add). It names the target archive and asks only for
// the options.

#include <functional>
#include <string>

#include <wx/dialog.h>

#include "archive/commands/DialogModels.h"

class wxStaticText;
class wxTextCtrl;

namespace quarva::platform {
class Prompts;
}

namespace quarva::archive::ui {

class CAddOptionsPanel;

class CAddFilesDlg : public wxDialog {
public:
    // `isRemovable` tells whether a typed archive name lies on a removable drive.
    CAddFilesDlg(wxWindow* parent, platform::Prompts& prompts, const SpanningList& spanning,
                 std::function<void()> onPassword, std::function<bool(const std::string&)> isRemovable);
    void set(const std::string& description, const std::string& archiveName, bool nameLocked);

    std::string archiveName() const { return archiveName_; }
    const AddDialogOptions& options() const { return options_; }

private:
    void onNameChanged(wxCommandEvent&);
    void onAdd(wxCommandEvent&);

    platform::Prompts& prompts_;
    std::function<bool(const std::string&)> isRemovable_;
    wxStaticText* description_ = nullptr;
    wxTextCtrl* name_ = nullptr;
    CAddOptionsPanel* panel_ = nullptr;
    std::string archiveName_;
    AddDialogOptions options_;
};

}  // namespace quarva::archive::ui
