#pragma once
// "Check for Updates": the running version beside the latest one on the update
// server, "&Get Latest" (the update page in the browser) and "&Close". The dialog
// opens at once and the check runs behind it; closing the dialog ends the check.
// A server that asks for a password gets one from the user, once.

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <wx/dialog.h>

#include "shared/update/UpdateCheck.h"

class wxStaticText;
class wxTextCtrl;

namespace quarva::update::ui {

class CUpdateDlg : public wxDialog {
public:
    // `product` names the group ("<product> Version"); `request.currentVersion` is shown as "Current:".
    CUpdateDlg(wxWindow* parent, const std::string& product, UpdateRequest request, std::string pageUrl);
    ~CUpdateDlg() override;

    // Called on the window's thread when the check has ended.
    std::function<void(const UpdateOutcome&)> onOutcome;

private:
    void show(const UpdateOutcome& outcome);
    std::optional<ZorvCredentials> askCredentials(const std::string& realm);

    std::string pageUrl_;
    wxTextCtrl* latest_ = nullptr;
    wxStaticText* verdict_ = nullptr;
    std::atomic<bool> closing_{false};
    std::unique_ptr<CUpdateCheck> check_;
};

}  // namespace quarva::update::ui
