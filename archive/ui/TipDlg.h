#pragma once
// "Tip of the Day": one tip from tips.txt, "&Next Tip", and the choice whether to
// show the dialog at start-up ("&Close" stores it).

#include <memory>

#include <wx/dialog.h>

#include "archive/utilities/TipFile.h"

class wxCheckBox;
class wxStaticText;

namespace quarva::archive::ui {

class CTipDlg : public wxDialog {
public:
    CTipDlg(wxWindow* parent, SettingsStore& store, const std::filesystem::path& tipsFile);

private:
    void onNext(wxCommandEvent&);
    void onClose(wxCommandEvent&);

    SettingsStore& store_;
    std::unique_ptr<CTipFile> tips_;
    wxStaticText* text_ = nullptr;
    wxCheckBox* showAtStartup_ = nullptr;
};

}  // namespace quarva::archive::ui
