#include "archive/ui/NewDiskDlg.h"

#include <string>

#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "archive/commands/Texts.h"

namespace quarva::archive::ui {

CNewDiskDlg::CNewDiskDlg(wxWindow* parent, int disk) : wxDialog(parent, wxID_ANY, text::kNewDiskCaption) {
    wxString prompt = wxString::Format(text::kInsertNewDisk, disk);
    erase_ = new wxCheckBox(this, wxID_ANY, text::kEraseDisk);
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY, prompt), 0, wxALL, 12);
    top->Add(erase_, 0, wxLEFT | wxRIGHT, 12);
    top->Add(CreateSeparatedButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(top);
    CentreOnParent();
}

bool CNewDiskDlg::erase() const { return erase_->IsChecked(); }

}  // namespace quarva::archive::ui
