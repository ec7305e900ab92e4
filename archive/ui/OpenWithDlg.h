#pragma once
// "Op&en With...": the desktop's programs for the file's type, and every program it
// knows once "Show all programs" is ticked.

#include <string>
#include <vector>

#include <wx/dialog.h>

#include "archive/ui/DesktopShell.h"

class wxCheckBox;
class wxListBox;

namespace quarva::archive::ui {

class COpenWithDlg : public wxDialog {
public:
    // `forType` may be empty: the dialog then starts with every program.
    COpenWithDlg(wxWindow* parent, const std::string& fileName, std::vector<DesktopApp> forType,
                 std::vector<DesktopApp> all);
    // The chosen program after "Open".
    const DesktopApp& chosen() const { return shown()[static_cast<std::size_t>(choice_)]; }

private:
    const std::vector<DesktopApp>& shown() const;
    void fill();

    std::vector<DesktopApp> forType_;
    std::vector<DesktopApp> all_;
    wxListBox* list_ = nullptr;
    wxCheckBox* showAll_ = nullptr;
    int choice_ = -1;
};

}  // namespace quarva::archive::ui
