#include "shared/update/ui/UpdateDlg.h"

#include <chrono>
#include <future>

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>
#include <wx/utils.h>

namespace quarva::update::ui {

namespace {
constexpr char kCaption[] = "Check for Updates";
constexpr int kVerdictWidth = 300;
constexpr char kPasswordCaption[] = "Log On to the Update Server";
constexpr char kPasswordPrompt[] = "The update server asks for a user name and password";
}  // namespace

CUpdateDlg::CUpdateDlg(wxWindow* parent, const std::string& product, UpdateRequest request, std::string pageUrl)
    : wxDialog(parent, wxID_ANY, kCaption), pageUrl_(std::move(pageUrl)) {
    auto* group = new wxStaticBoxSizer(wxVERTICAL, this, wxString::FromUTF8(product + " Version"));
    auto* fields = new wxFlexGridSizer(2, wxSize(8, 6));
    fields->AddGrowableCol(1);
    fields->Add(new wxStaticText(group->GetStaticBox(), wxID_ANY, "Current:"), 0, wxALIGN_CENTER_VERTICAL);
    fields->Add(new wxTextCtrl(group->GetStaticBox(), wxID_ANY, wxString::FromUTF8(request.currentVersion),
                               wxDefaultPosition, wxSize(220, -1), wxTE_READONLY),
                1, wxEXPAND);
    fields->Add(new wxStaticText(group->GetStaticBox(), wxID_ANY, "Latest:"), 0, wxALIGN_CENTER_VERTICAL);
    latest_ = new wxTextCtrl(group->GetStaticBox(), wxID_ANY, "", wxDefaultPosition, wxSize(220, -1), wxTE_READONLY);
    fields->Add(latest_, 1, wxEXPAND);
    group->Add(fields, 0, wxEXPAND | wxALL, 8);

    verdict_ = new wxStaticText(this, wxID_ANY, kCheckingText, wxDefaultPosition, wxSize(kVerdictWidth, -1));
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    auto* get = new wxButton(this, wxID_ANY, "&Get Latest");
    buttons->Add(get);
    buttons->Add(new wxButton(this, wxID_CANCEL, "&Close"), 0, wxLEFT, 6);

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(group, 0, wxEXPAND | wxALL, 10);
    top->Add(verdict_, 0, wxEXPAND | wxLEFT | wxRIGHT, 12);
    top->Add(buttons, 0, wxEXPAND | wxALL, 10);
    SetSizerAndFit(top);
    CentreOnParent();

    get->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { wxLaunchDefaultBrowser(wxString::FromUTF8(pageUrl_)); });
    request.askCredentials = [this](const std::string& realm) { return askCredentials(realm); };
    check_ = std::make_unique<CUpdateCheck>(
        std::move(request), [this](const UpdateOutcome& outcome) { CallAfter([this, outcome] { show(outcome); }); });
}

CUpdateDlg::~CUpdateDlg() {
    // The check's thread ends before the window it reports to goes away.
    closing_ = true;
    check_.reset();
}

void CUpdateDlg::show(const UpdateOutcome& outcome) {
    latest_->ChangeValue(wxString::FromUTF8(outcome.latest));
    std::string text = verdictText(outcome);
    verdict_->SetLabel(wxString::FromUTF8(text));
    verdict_->Wrap(kVerdictWidth);
    verdict_->SetMinSize(wxSize(kVerdictWidth, -1));  // as high as the wrapped text
    verdict_->InvalidateBestSize();
    GetSizer()->Fit(this);
    if (onOutcome) onOutcome(outcome);
}

std::optional<ZorvCredentials> CUpdateDlg::askCredentials(const std::string& realm) {
    // On the check's thread: the question is asked on the window's thread, and the
    // wait ends early when the dialog closes.
    auto answer = std::make_shared<std::promise<std::optional<ZorvCredentials>>>();
    auto future = answer->get_future();
    CallAfter([this, answer, realm] {
        std::optional<ZorvCredentials> credentials;
        wxString prompt = wxString(kPasswordPrompt) + (realm.empty() ? "" : " (" + wxString::FromUTF8(realm) + ")");
        wxTextEntryDialog user(this, prompt + ".\n\nUser name:", kPasswordCaption);
        if (user.ShowModal() == wxID_OK) {
            wxPasswordEntryDialog password(this, "Password:", kPasswordCaption);
            if (password.ShowModal() == wxID_OK)
                credentials = ZorvCredentials{std::string(user.GetValue().utf8_str()),
                                              std::string(password.GetValue().utf8_str())};
        }
        answer->set_value(credentials);
    });
    while (future.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        if (closing_) return std::nullopt;
    return future.get();
}

}  // namespace quarva::update::ui
