#include "splitter/ui/AboutDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "splitter/SplitTexts.h"

namespace quarva::splitter::ui {

CAboutDlg::CAboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, texts::kAboutCaption) {
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* version = new wxStaticText(this, wxID_ANY, texts::kAboutVersion);
    version->SetFont(version->GetFont().Bold());
    top->Add(version, 0, wxALL, 12);
    top->Add(new wxStaticText(this, wxID_ANY,
                              "Splits large files into chunks and joins them again,\n"
                              "also across removable disks.\n\n"
                              "Quarva Software"),
             0, wxLEFT | wxRIGHT, 12);
    top->Add(CreateButtonSizer(wxOK), 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(top);
    CentreOnParent();
}

}  // namespace quarva::splitter::ui
