#pragma once
// "Properties" of the entries selected in the file list: one page in a property
// sheet with the name, type, location, sizes, ratio, date and attribute boxes.

#include <wx/propdlg.h>

#include "archive/commands/DialogModels.h"

namespace quarva::archive::ui {

class CFilePropertiesDlg : public wxPropertySheetDialog {
public:
    CFilePropertiesDlg(wxWindow* parent, const PropertiesView& view);
};

}  // namespace quarva::archive::ui
