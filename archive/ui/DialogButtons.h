#pragma once
// The button row our own dialogs share: a default button with the dialog's own
// label ("Add", "Select") beside "Cancel", in the desktop's order.

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/sizer.h>

namespace quarva::archive::ui {

inline wxStdDialogButtonSizer* okCancelButtons(wxDialog& dialog, const wxString& okLabel) {
    auto* buttons = new wxStdDialogButtonSizer();
    auto* ok = new wxButton(&dialog, wxID_OK, okLabel);
    ok->SetDefault();
    buttons->AddButton(ok);
    buttons->AddButton(new wxButton(&dialog, wxID_CANCEL, "Cancel"));
    buttons->Realize();
    return buttons;
}

}  // namespace quarva::archive::ui
