#pragma once
// "Quarva.Zip Suite is busy": the modeless window that stands while an archive
// operation runs, with its animation, the phase or file being worked on, and
// "Cancel". While it stands the main window takes no input, but goes on painting.

#include <functional>
#include <memory>

#include <wx/dialog.h>
#include <wx/utils.h>

#include "archive/commands/BusyDialog.h"

class wxButton;
class wxStaticText;
class wxGenericAnimationCtrl;

namespace quarva::archive::ui {

class CThreadDlg : public wxDialog {
public:
    CThreadDlg(wxWindow* parent, std::function<void()> onCancel);
    ~CThreadDlg() override;

    void setText(const std::string& text);
    void hideCancel();

private:
    void onCancel(wxCommandEvent&);
    void onClose(wxCloseEvent& event);

    std::function<void()> cancel_;
    wxGenericAnimationCtrl* animation_ = nullptr;
    wxStaticText* text_ = nullptr;
    wxButton* cancelButton_ = nullptr;
};

// Busy dialogs for the core's operations, parented to the main frame.
class CThreadDlgFactory : public IBusyDialogFactory {
public:
    explicit CThreadDlgFactory(wxWindow* parent) : parent_(parent) {}
    std::unique_ptr<IBusyDialog> create(std::function<void()> onCancel) override;

private:
    wxWindow* parent_;
};

}  // namespace quarva::archive::ui
