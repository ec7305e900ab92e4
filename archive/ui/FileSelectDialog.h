#pragma once
// "File(s) Select Dialog Box": the Add command's file chooser with the add options
// beside it. GTK's chooser takes no extra panel of ours, so this is our own dialog
// around the file control, with a file-name box under it that shows the chosen
// names and takes typed names or wildcards.

#include <functional>
#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/filectrl.h>

#include "archive/commands/DialogModels.h"

class wxTextCtrl;

namespace quarva::platform {
class Prompts;
}

namespace quarva::archive::ui {

class CAddOptionsPanel;

class CSpecialFileDialog : public wxDialog {
public:
    CSpecialFileDialog(wxWindow* parent, platform::Prompts& prompts, const std::string& startFolder,
                       bool libraryArchive, const SpanningList& spanning, std::function<void()> onPassword);

    // After "Add": the chosen paths (normal mode), or the wildcard text and the
    // folder the dialog was showing (wildcard mode).
    std::vector<std::string> paths() const { return paths_; }
    bool wildcardMode() const { return wildcardMode_; }
    const std::string& wildcardText() const { return wildcardText_; }
    std::string currentFolder() const;
    const AddDialogOptions& options() const { return options_; }

private:
    void onSelectionChanged(wxFileCtrlEvent&);
    void onAdd(wxCommandEvent&);
    void onAddWithWildcards(wxCommandEvent&);
    // The names of the file-name box (quoted names, or one bare name) as full paths.
    std::vector<std::string> typedPaths() const;

    platform::Prompts& prompts_;
    bool libraryArchive_;
    wxFileCtrl* files_ = nullptr;
    wxTextCtrl* name_ = nullptr;
    CAddOptionsPanel* panel_ = nullptr;
    std::vector<std::string> paths_;
    bool wildcardMode_ = false;
    std::string wildcardText_;
    AddDialogOptions options_;
};

}  // namespace quarva::archive::ui
