#pragma once
// The small text window of the activity log, the test results and the archive
// comment. In comment mode it is editable, "OK" reads "&Save" and "&Copy" reads
// "&Clear".

#include <string>

#include <wx/dialog.h>

class wxTextCtrl;

namespace quarva::archive::ui {

class CZipEditor : public wxDialog {
public:
    CZipEditor(wxWindow* parent, const std::string& text, const std::string& title, bool editable, bool commentMode);
    // After "OK" / "&Save".
    std::string text() const;

private:
    void onCopy(wxCommandEvent&);
    void onFont(wxCommandEvent&);

    wxTextCtrl* box_ = nullptr;
    bool commentMode_;
};

}  // namespace quarva::archive::ui
