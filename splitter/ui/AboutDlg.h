#pragma once
// The About box: the program's name, its version line and the maker.

#include <wx/dialog.h>

namespace quarva::splitter::ui {

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* parent);
};

}  // namespace quarva::splitter::ui
