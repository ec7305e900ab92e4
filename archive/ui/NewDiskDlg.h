#pragma once
// "Quarva.Zip Suite Disk Spanning": asks for the next disk of a spanned add,
// with the choice to erase it first.

#include <wx/dialog.h>

class wxCheckBox;

namespace quarva::archive::ui {

class CNewDiskDlg : public wxDialog {
public:
    CNewDiskDlg(wxWindow* parent, int disk);
    bool erase() const;

private:
    wxCheckBox* erase_ = nullptr;
};

}  // namespace quarva::archive::ui
