#pragma once
// Find Files in Zip: searches the zip archives of a folder tree for entries whose
// names match a pattern, lists every match with its archive, and opens a match on
// double-click. The search runs on the finder's threads; its reports reach the
// dialog as queued events, so the dialog stays responsive and "&Stop" works.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/dialog.h>

#include "archive/utilities/ZipFinder.h"

class wxButton;
class wxCheckBox;
class wxComboBox;
class wxListCtrl;
class wxListEvent;
class wxStaticText;
class wxTextCtrl;
class wxThreadEvent;

namespace quarva::platform {
class Prompts;
}

namespace quarva::archive::ui {

class CFileIcons;

class CFindinZipDlg : public wxDialog {
public:
    using OpenMatch = std::function<void(const FoundFile&)>;
    using Trace = std::function<void(const std::string&)>;
    // `openMatch` runs on double-click; `trace` notes rows and states for the GUI tests.
    CFindinZipDlg(wxWindow* parent, platform::Prompts& prompts, OpenMatch openMatch, Trace trace);
    ~CFindinZipDlg() override;

private:
    class Receiver;
    void onFindNow(wxCommandEvent&);
    void onStop(wxCommandEvent&);
    void onBrowse(wxCommandEvent&);
    void onCharHook(wxKeyEvent& event);
    void onClose(wxCloseEvent& event);
    void onActivated(wxListEvent& event);
    void onScanning(wxThreadEvent& event);
    void onFound(wxThreadEvent& event);
    void onFinished(wxThreadEvent& event);
    void setSearching(bool searching);
    void setStatus(const std::string& text);

    platform::Prompts& prompts_;
    OpenMatch openMatch_;
    Trace trace_;
    wxComboBox* named_ = nullptr;
    wxTextCtrl* lookIn_ = nullptr;
    wxTextCtrl* fileTypes_ = nullptr;
    wxCheckBox* subfolders_ = nullptr;
    wxButton* browse_ = nullptr;
    wxButton* findNow_ = nullptr;
    wxButton* stop_ = nullptr;
    wxListCtrl* list_ = nullptr;
    wxStaticText* status_ = nullptr;
    std::unique_ptr<CFileIcons> icons_;
    std::vector<FoundFile> rows_;  // by row index
    FindRequest request_;
    bool searching_ = false;
    std::unique_ptr<Receiver> receiver_;
    // Declared last: it goes first, stopping and waiting for its threads while the
    // receiver and the window still stand.
    std::unique_ptr<CZipFinder> finder_;
};

}  // namespace quarva::archive::ui
